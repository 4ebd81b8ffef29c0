// Stand-in for the load workflow until it is built: no table of embedded
// cartridges, no file name and no hash are kept yet.
#include "machine/cart_load.h"

void clear_embedded_carts() {}

void mount_embedded_cart(const orrery_cart *, const char *) {}

void clear_working_file_name() {}

void record_cart_hash(const orrery_cart *) {}
