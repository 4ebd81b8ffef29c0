// What the console takes from the resource file: the system cartridge, the
// resource set (palette, logo, title, icon, pictures by number), the console
// font's glyphs and the embedded cartridges.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/pod.h"

struct vell_bitmap;

// Item positions in the resource file.
enum {
  k_pod_system_cart = 0,  // text cartridge whose sounds give the boot jingle
  k_pod_resource_set = 1, // nested list of numbered resources
  k_pod_console_font = 2, // nested list of 256 glyph bitmaps
  k_pod_first_cart = 3,   // the head cartridge; later items are further cartridges
};

// Entry numbers in the resource set.
enum {
  k_res_palette = 1,
  k_res_logo = 2,
  k_res_title = 4,
  k_res_icon = 6,
  k_res_cart_template = 8,  // 160x205 picture of an empty picture cartridge
};

// Loads "data.pod" (or another path) and keeps it for the whole run; 0 on
// success, else a vell_pod_status code.
int orrery_load_resources(const std::string &path);
void orrery_release_resources();
const vell_pod *orrery_pod();

// The system cartridge's text, or "" when absent.
std::string orrery_resource_system_cart();
// Entry n of the resource set decoded as a bitmap, created once and kept;
// null when the entry is missing or not a bitmap.
vell_bitmap *orrery_resource_bitmap(int n);
// The engine palette from the resource set (768 bytes), or null.
const uint8_t *orrery_resource_palette();
// Entry n of the resource set as text, or "".
std::string orrery_resource_text(int n);
// The console font's glyphs in code order (256 bitmaps, null where missing).
const std::vector<vell_bitmap *> &orrery_resource_font_glyphs();
// Cartridge image items from k_pod_first_cart on: (name, 32768 bytes).
struct orrery_embedded_image {
  std::string name;
  const uint8_t *image;
};
std::vector<orrery_embedded_image> orrery_resource_cart_images();

// Decodes a POD_BITMAP block; null when it is malformed.
vell_bitmap *vell_decode_pod_bitmap(const uint8_t *data, uint32_t size);
// Encodes a bitmap as a POD_BITMAP block.
std::vector<uint8_t> vell_encode_pod_bitmap(const vell_bitmap *b);
