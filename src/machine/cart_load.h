// The load workflow: loading the working cartridge by name, quick save and
// quick load, embedded cartridges, the working file name and the working
// cartridge's hash.
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

// Finds the cartridge file behind name and makes it the working cartridge:
// 0 on success, 1 on failure.
int load_working_cart(const char *name);
// Ctrl+S while a program runs: saves the working cartridge to its file.
// 0 on success, 1 on failure (the message bar says why).
int do_quick_save();
// Ctrl+R while a program runs: takes the working cartridge's file again when
// it changed on disk. 0 on success, 1 when nothing was loaded.
int do_quick_load();
