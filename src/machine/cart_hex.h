// The text form in which a cartridge file travels through the clipboard:
// "[cart]", two lower-case hexadecimal digits per byte, "[/cart]".
#pragma once

#include <cstddef>

// Largest file put into text form (a picture cartridge is under 100 KiB).
constexpr size_t k_cart_hex_max_file = 1 << 20;

enum {
  CART_HEX_OK = 0,
  CART_HEX_NO_INPUT = 1,  // encode: the file is missing, not a file, or above 1 MiB
  CART_HEX_NO_OUTPUT = 2, // encode: the text file could not be written
};
// Writes the text form of the file at in_path to out_path (through a
// temporary file, so an existing out_path is replaced only by a whole text).
int convert_binary_file_to_hex(const char *in_path, const char *out_path);

enum {
  HEX_CART_OK = 0,
  HEX_CART_NO_OUTPUT = 1,  // decode: the file could not be written
  HEX_CART_NOT_CART = 2,   // decode: the text is not a whole cartridge in text form
};
// Writes the bytes that text holds to out_path. White space around and
// between the digits is skipped (mail and chat programs wrap long lines); a
// text without both tags, with any other character, or with an odd number
// of digits is refused and nothing is written, so a cut-off paste never
// becomes a damaged cartridge file.
int convert_hex_to_binary_file(const char *text, const char *out_path);
