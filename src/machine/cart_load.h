// The load workflow's part in booting: embedded cartridges, the working
// file name and the working cartridge's hash.
#pragma once

struct orrery_cart;

// Empties the table of embedded cartridges.
void clear_embedded_carts();
// Enters a cartridge from the resource file into the table under its name,
// so that load, reload and cstore find it.
void mount_embedded_cart(const orrery_cart *cart, const char *name);
// The file the working cartridge came from ("" when none), set by the
// loaders; forgotten when the boot makes a fresh cartridge.
const char *working_file_name();
void set_working_file_name(const char *path);
void clear_working_file_name();
// Makes the cartridge's hash the current cartridge hash.
void record_cart_hash(const orrery_cart *cart);
