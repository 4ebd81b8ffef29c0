// The load workflow: the working cartridge's file name and hash, finding
// and loading the file behind a name, preparing a loaded cartridge, quick
// load and loading from the clipboard.
#pragma once

#include <string>

#include "machine/cart_embedded.h"

struct orrery_cart;

// The file the working cartridge came from or was saved to ("" when none).
const char *working_file_name();
void set_working_file_name(const char *path);
void clear_working_file_name();
// Makes the cartridge's hash the current cartridge hash.
void record_cart_hash(const orrery_cart *cart);
// The current cartridge hash (40 hexadecimal digits): the working
// cartridge's as it was last loaded or saved.
const char *current_cart_hash();

// Reads a cartridge file: as a picture cartridge with its label, else as a
// text cartridge. A path with no file on disk is looked for on the virtual
// disk. Null when neither loads (the future-version status tells why when
// the file is from a newer console).
orrery_cart *load_cart_file(const std::string &path);

// Makes a freshly loaded cartridge the working cartridge (the previous one
// is released): the shared sprite/map quarter is reconciled, the hash
// recorded, the working file name set to name (or, without one, to the
// cartridge's sandboxed store file), and the data a program stored with
// cstore() is copied over the cartridge's memory. The working-cartridge
// hook then hands the code to the code tabs.
void prepare_loaded_cart(orrery_cart *cart, const char *name);

// Finds the cartridge file behind name and makes it the working cartridge:
// name, then name with ".q7" inserted, then that with ".png" appended, then
// name with ".png" appended; each tried as a picture, then as text. The
// legacy changes are applied. 0 on success, 1 on failure (the working
// cartridge is then untouched).
int load_working_cart(const char *name);

// Ctrl+R while a program runs: reads the working cartridge's file again and
// takes it, with "loaded external changes", when its hash differs from the
// current hash. 0 when it was taken, 1 otherwise.
int do_quick_load();

enum quick_load_result {
  QUICK_LOAD_TAKEN = 0,   // the file differed and is the working cartridge now
  QUICK_LOAD_SAME = 1,    // the file holds the working cartridge as it is: nothing changed
  QUICK_LOAD_FAILED = 2,  // the file did not load (missing, half written, not a cartridge)
};
// The quick load of a given file (the one a watch follows, which need not
// be the working file any more): loaded, brought up to date and taken as
// do_quick_load takes it; its name becomes the working file name.
quick_load_result quick_load_file(const std::string &path);

// The clipboard forms of a cartridge name: "@clip", "@clip.q7", "@clip.png",
// "@clip.q7.png".
bool is_clipboard_name(const std::string &name);
// The clipboard's text, a cartridge in text form, becomes the working
// cartridge (through "_clip.q7.png" in the home folder); the working file
// name is cleared. 0 on success, 1 on failure.
int load_cart_from_clipboard();
