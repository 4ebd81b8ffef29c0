// Presentation of the console screen: screen memory through the screen
// palette and the draw mode into the presented bitmap.
#pragma once

#include <cstdint>

struct vell_bitmap;

// Draw modes (the byte at 0x5f2c).
enum orrery_draw_mode : int32_t {
  DRAW_STRETCH_X = 1,    // left half of every row stretched to full width
  DRAW_STRETCH_Y = 2,    // top half stretched to full height
  DRAW_STRETCH_XY = 3,   // top-left quarter enlarged to full size
  DRAW_MIRROR_X = 5,     // left half mirrored onto the right
  DRAW_MIRROR_Y = 6,     // top half mirrored onto the bottom
  DRAW_MIRROR_XY = 7,    // top-left quarter mirrored into all four quarters
};

// Copies the screen memory into the presented bitmap, reduces the screen
// palette entries to what may be shown (bit 7 kept only while the extended
// palette is unlocked), maps every pixel through them and, for a running
// cartridge program, applies the draw mode.
void blit_orrery_back_page_to_orrery_screen();
// Applies draw mode m to a 128x128 8-bit bitmap; other modes leave it as it is.
void apply_draw_mode(vell_bitmap *b, int32_t m);
