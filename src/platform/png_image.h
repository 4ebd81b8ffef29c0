// PNG pictures as 8-bit RGBA pixel blocks, read and written through libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A picture of width x height pixels, 4 bytes each (R, G, B, A), rows from
// the top, no padding between rows.
struct vell_rgba_image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4 bytes
};

// Pictures wider or taller than this are refused as undecodable, so a hostile
// file cannot ask for gigabytes.
constexpr int32_t k_vell_png_max_side = 8192;
// Largest PNG file read (a 160x205 cartridge is under 100 KiB; a catalogue
// page of 1024x544 under 2 MiB).
constexpr size_t k_vell_png_max_file = 16u << 20;

enum {
  VELL_PNG_OK = 0,
  VELL_PNG_NO_FILE = 1,       // missing, not a regular file, or too large
  VELL_PNG_UNDECODABLE = 2,   // not a PNG, damaged, or a side of 0 or above the limit
  VELL_PNG_WRITE_FAILED = 3,  // encoding or writing failed; an existing file is kept
};

// Reads only the header: the picture's size, so that a caller expecting one
// size can refuse others before decoding. VELL_PNG_OK or VELL_PNG_UNDECODABLE.
int vell_png_size(const void *data, size_t size, int32_t *width, int32_t *height);
// Decodes any PNG (palette, grey, 16-bit, with or without alpha) to RGBA.
int vell_png_decode(const void *data, size_t size, vell_rgba_image *out);
// Reads and decodes a file (regular files only, bounded in size).
int vell_png_read_file(const char *path, vell_rgba_image *out);
// Encodes as an 8-bit RGBA PNG (colour type 6).
int vell_png_encode(const vell_rgba_image &image, std::string *out);
// Encodes and writes through a temporary file and a rename.
int vell_png_write_file(const char *path, const vell_rgba_image &image);
