// The map and the sprite flags to and from the files of a tile editor:
// comma-separated cells and TMX maps with CSV layers.
#pragma once

#include <string>

struct orrery_cart;

// map import: MAP.csv or MAP.tmx (by extension), at most 128x64 cells of
// 0-255. Rows 32-63 are the lower quarter of the sprite sheet as well.
int cartkit_map_import(orrery_cart *cart, const std::string &path, std::string *message);
// map export: rows 0-31 as CSV, or all 64 rows with full.
int cartkit_map_export(const orrery_cart *cart, const std::string &csv, bool full, std::string *message);
// flags import/export: 16 rows of 16 values 0-255, laid out as the sheet.
int cartkit_flags_import(orrery_cart *cart, const std::string &csv, std::string *message);
int cartkit_flags_export(const orrery_cart *cart, const std::string &csv, std::string *message);
