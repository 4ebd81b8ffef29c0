// Every address of the 32 KB memory map that the console gives a meaning:
// the regions, and the draw state and hardware registers at 0x5f00-0x5f7f.
// Code names an address only through these constants.
#pragma once

#include <cstdint>

// Address layout (inclusive start of each region).
enum : int32_t {
  k_addr_gfx = 0x0000,       // sprite sheet rows 0-63, two pixels a byte
  k_addr_shared = 0x1000,    // sprite rows 64-127, also map rows 32-63
  k_addr_map = 0x2000,       // map rows 0-31, 128 bytes a row
  k_addr_flags = 0x3000,     // sprite flags
  k_addr_music = 0x3100,     // 64 patterns of 4 bytes
  k_addr_sfx = 0x3200,       // 64 sounds of 68 bytes
  k_addr_user = 0x4300,      // user data, RAM only; also the size of the cartridge image
  k_addr_cdata = 0x5e00,     // persistent values, 4 bytes each, little-endian
  k_addr_regs = 0x5f00,      // draw state and hardware registers
  k_addr_gpio = 0x5f80,      // general purpose I/O bytes
  k_addr_screen = 0x6000,    // screen, two pixels a byte
  k_addr_end = 0x8000,       // one past the last address
};

// Draw state and hardware registers. Bytes not named here are plain
// memory: they keep what is written and have no further effect.
enum : int32_t {
  k_addr_draw_pal = 0x5f00,        // 16 bytes: draw palette; bits 0-3 the colour, bit 4 transparent
  k_addr_screen_pal = 0x5f10,      // 16 bytes: screen palette, the colour shown for each screen colour
  k_addr_clip = 0x5f20,            // 4 bytes: clip x0, y0, x1, y1 (x1, y1 exclusive)
  k_addr_pen = 0x5f25,             // pen colour
  k_addr_cursor_x = 0x5f26,        // print cursor x
  k_addr_cursor_y = 0x5f27,        // print cursor y
  k_addr_camera = 0x5f28,          // 4 bytes: camera x low, high, camera y low, high (signed 16-bit)
  k_addr_draw_mode = 0x5f2c,       // screen mode applied at presentation
  k_addr_mouse_enable = 0x5f2d,    // 1 lets stat(32..36) read the mouse
  k_addr_keep_palette = 0x5f2e,    // 1: the screen palette survives the program's end
  k_addr_audio_pause = 0x5f2f,     // 1 pauses audio while running; 2 keeps it playing in the pause menu
  k_addr_pause_suppress = 0x5f30,  // 1: the next pause-button press does not open the pause menu (the console writes 0)
  k_addr_fill_pattern = 0x5f31,    // 3 bytes: fill pattern bits 0-7, 8-15, 16-23 (bit 16 transparency)
  k_addr_audio_masks = 0x5f40,     // 4 bytes: channels at half rate, with echo, bit reduction, low-pass
  k_addr_keep_masks = 0x5f44,      // non-zero: the audio masks survive the program's end
  k_addr_extended_pal = 0x5f60,    // 4 bytes: the extended screen palette's enabling code
};
