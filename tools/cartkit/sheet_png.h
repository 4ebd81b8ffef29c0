// Pictures to and from a cartridge: the sprite sheet and the label as PNG
// files, their pixels matched to the 16 console colours.
#pragma once

#include <string>

struct orrery_cart;

struct cartkit_picture_options {
  bool nearest = false;   // map colours off the palette to the nearest console colour
  bool map_half = false;  // sprite sheet: only rows 0-63; rows 64-127, shared with map rows 32-63, are kept
};

// gfx import: a 128x128 or 128x64 picture into the sprite sheet (a 128x64
// one, or --map-half, replaces rows 0-63 only). On success message reports
// what changed (and how many pixels --nearest moved); on refusal it says
// why and the cartridge is unchanged.
int cartkit_gfx_import(orrery_cart *cart, const std::string &png, const cartkit_picture_options &options,
                       std::string *message);
// gfx export: the sheet as a 128x128 picture (128x64 with map_half).
int cartkit_gfx_export(const orrery_cart *cart, const std::string &png, const cartkit_picture_options &options,
                       std::string *message);
// label import/export: the 128x128 label.
int cartkit_label_import(orrery_cart *cart, const std::string &png, const cartkit_picture_options &options,
                         std::string *message);
int cartkit_label_export(const orrery_cart *cart, const std::string &png, std::string *message);
