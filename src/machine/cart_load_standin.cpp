// Stand-in for the load workflow until it is built: no table of embedded
// cartridges and no hash are kept yet; the working file name is. Loading by
// name, quick save and quick load do nothing and report failure.
#include "machine/cart_load.h"

#include <string>

namespace {
std::string g_working_file;
}

void clear_embedded_carts() {}

void mount_embedded_cart(const orrery_cart *, const char *) {}

const char *working_file_name() { return g_working_file.c_str(); }

void set_working_file_name(const char *path) { g_working_file = path ? path : ""; }

void clear_working_file_name() { g_working_file.clear(); }

void record_cart_hash(const orrery_cart *) {}

int load_working_cart(const char *) { return 1; }

int do_quick_save() { return 1; }

int do_quick_load() { return 1; }
