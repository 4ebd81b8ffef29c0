// The .q7 text cartridge format: loader and saver.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct orrery_cart;

// Largest text cartridge file read: the sections of a full cartridge with
// room to spare (longer code is cut to the code buffer anyway).
constexpr size_t k_cart_file_max = 4u << 20;

// Reads path, when it is a regular file of at most k_cart_file_max bytes,
// and loads it; null when it cannot be read or loaded.
orrery_cart *vell_load_orrery_cart(const char *path);
// Parses a text cartridge held in memory (at most k_cart_file_max bytes).
orrery_cart *vell_load_orrery_cart_from_text(const std::string &text);
// Parses a text cartridge from an open file. Null when the first line does
// not start with "orrery cartridge", or when the version is newer than this
// console's (then the future-version status is set too).
orrery_cart *vell_load_orrery_cart_from_file(FILE *file);

enum {
  CART_SAVE_OK = 0,
  CART_SAVE_OPEN_FAILED = 1,   // the file could not be created
  CART_SAVE_WRITE_FAILED = 2,  // writing failed; an existing file is left as it was
};
// Writes the cartridge to path through a temporary file that replaces path
// only once it was written completely. Returns a CART_SAVE_ code.
int vell_save_orrery_cart(const orrery_cart *cart, const char *path);
// The text format of a cartridge, as the saver writes it.
std::string vell_orrery_cart_text(const orrery_cart *cart);
// Writes the text format to an open file: CART_SAVE_OK, or
// CART_SAVE_WRITE_FAILED when the stream reports an error.
int vell_save_orrery_cart_to_file(const orrery_cart *cart, FILE *file);

// The address written after "orrery cartridge // " on the first line.
extern const char *const k_cart_text_address;
