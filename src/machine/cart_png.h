// Picture cartridges (.q7.png): a 160x205 picture of a cartridge with its
// label and title lines that carries the whole cartridge in the two lowest
// bits of every colour channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct orrery_cart;
struct vell_bitmap;
struct vell_font;
struct vell_rgba_image;

constexpr int32_t k_cart_png_width = 160;
constexpr int32_t k_cart_png_height = 205;
// Payload bytes, one a pixel from the top-left: the 32768-byte cartridge
// image, then version, 0, 1, 16 and the platform letter.
constexpr int32_t k_cart_png_payload = 32773;
constexpr uint8_t k_cart_png_platform = 'w';
constexpr int32_t k_cart_png_label_x = 16;  // where the 128x128 label sits in the picture
constexpr int32_t k_cart_png_label_y = 24;

// What the picture is drawn from: the empty cartridge picture (160x205,
// 32-bit) and the font of the title lines. The shell sets them once the
// resource file and the engine fonts are there; without a template the
// picture is plain black, without a font it has no text.
void orrery_set_cart_png_art(const vell_bitmap *cart_template, const vell_font *font);

enum {
  CART_PNG_SAVE_OK = 0,
  CART_PNG_CODE_TOO_LARGE = 1,  // the stored code is over 15360 bytes; nothing is written
  CART_PNG_WRITE_FAILED = 2,    // encoding or writing failed; an existing file is kept
};
// Writes the cartridge as a picture to path, through a temporary file that
// replaces path only once complete. Returns a CART_PNG_ code.
int save_orrery_cart_png(const orrery_cart *cart, const char *path);
// Builds the picture (8-bit RGBA) without writing it.
int orrery_cart_png_picture(const orrery_cart *cart, vell_rgba_image *out);

// Status of the last picture load.
enum {
  CART_PNG_OK = 0,
  CART_PNG_UNDECODABLE = 1,     // not a PNG, damaged, or a side of 0 or above 8192
  CART_PNG_NOT_CART = 2,        // no such file, or the picture is not 160x205
  CART_PNG_FUTURE_VERSION = 3,  // written by a newer console ("future_version: %d" printed)
};
int orrery_cart_png_status();

// Loads a picture cartridge from PNG bytes: a new cartridge, or null with
// the status saying why. The future version also sets the cartridge
// future-version status. No label is attached.
orrery_cart *load_orrery_cart_png_from_memory(const void *data, size_t size);
// The same from a decoded picture.
orrery_cart *load_orrery_cart_png_from_picture(const vell_rgba_image &picture);
// The same from an open file, read to its end (at most the PNG size limit).
orrery_cart *load_orrery_cart_png_from_file(FILE *file);
// Reads path (a regular file only) and loads it, attaching the label shown
// in the picture.
orrery_cart *load_orrery_cart_png(const char *path);
// The same from PNG bytes already read.
orrery_cart *load_orrery_cart_png_with_label(const void *data, size_t size);

// The label of a picture file: its 128x128 area at (16, 24) as indices of
// the engine palette (the first entry nearer than a squared distance of
// 192, else the nearest). Null when the file is not a 160x205 picture.
vell_bitmap *create_label_from_file(const char *path);
vell_bitmap *create_label_from_picture(const vell_rgba_image &picture);
