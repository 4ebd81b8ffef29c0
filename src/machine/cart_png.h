// Picture cartridges (.q7.png): a cartridge hidden in the low bits of a
// 160x205 picture, loaded and saved.
#pragma once

struct orrery_cart;

// Status of the last picture load.
enum {
  CART_PNG_OK = 0,
  CART_PNG_NOT_PNG = 1,         // the file is not a decodable PNG
  CART_PNG_BAD_PICTURE = 2,     // no such file, or the picture is not 160x205
  CART_PNG_FUTURE_VERSION = 3,  // written by a newer console
};

// Loads the picture cartridge at path with its label; null on failure (the
// status says why).
orrery_cart *load_orrery_cart_png(const char *path);
int orrery_cart_png_status();
// Writes the cartridge as a picture; 0 on success, 1 when its code does not
// fit, 2 when the file could not be written.
int save_orrery_cart_png(const orrery_cart *cart, const char *path);
