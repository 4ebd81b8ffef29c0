// The save workflow: saving the working cartridge with its size checks and
// messages, backups, quick save and saving to the clipboard.
#pragma once

#include <cstdint>
#include <string>

struct orrery_cart;

constexpr int32_t k_save_code_max = 65536;  // longest code a save accepts, characters
constexpr size_t k_backup_copy_max = 1 << 20;  // most bytes of a file a backup copies

// Saves the working cartridge under name, with ".q7" inserted when name
// lacks it: as a picture when the name holds ".png", else as text. An
// existing file other than the working file is first copied to backup/.
// Refuses code over 65536 characters and, for pictures, compressed code
// over 15360 bytes, printing why; warns about a blank label and (for text)
// about code too big for a picture. On success the working file name
// becomes the target and the hash is recomputed: 0. Otherwise "** failed
// to save **" shows and the file that existed is kept: 1.
int save_working_cart(const char *name);

// Backs name up as "backup/" + its file name in the home folder ("untitled.q7"
// for an empty name): a copy of the file (at most 1 MiB) with copy_file,
// else the working cartridge in the format the name implies. 0 on success.
int save_backup(const char *name, bool copy_file);

// Ctrl+S while a program runs: saves the working cartridge to its file,
// unless it has none or came from the catalogue cache. 0 on success, 1 on
// failure (the message bar says why).
int do_quick_save();

// The working cartridge as a picture, in text form, on the clipboard
// ("_clip.q7.png" and "_clip.q7.png.hex" in the home folder on the way).
// Prints "saved to clipboard" or "failed to save to clipboard". 0 on
// success.
int save_cart_to_clipboard();

// True when the cartridge has no label or a label of a single colour.
bool cart_label_blank(const orrery_cart *cart);
