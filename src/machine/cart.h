// The cartridge object: program text, sprite sheet, map, sprite flags, sound
// effects, music patterns and label, with its empty defaults and release.
#pragma once

#include <cstdint>

struct vell_bitmap;

constexpr int32_t k_cart_code_size = 65538;  // code buffer bytes, NUL included
constexpr int32_t k_cart_code_max = 65535;   // longest code text a file can hold
constexpr int32_t k_cart_version = 12;       // format version written by this console
constexpr int32_t k_cart_sfx_count = 64;
constexpr int32_t k_cart_pattern_count = 64;
constexpr int32_t k_cart_notes = 32;         // notes per sound effect
constexpr int32_t k_cart_flag_count = 256;   // one flag byte per sprite

// One note of a sound effect.
struct orrery_note {
  int32_t pitch;     // 0-63 semitones
  int32_t waveform;  // 0-7; with the custom flag, the sound used as instrument
  int32_t volume;    // 0-7
  int32_t effect;    // 0-7
  int32_t custom;    // 0 or 128: plays through a custom instrument
};

struct orrery_sfx {
  int32_t editor_mode;  // 0-255, kept for editing tools
  int32_t speed;        // 0-255 ticks per note (0 plays as 1)
  int32_t loop_start;   // 0-255 note index
  int32_t loop_end;     // 0-255; loops only when above loop_start
  orrery_note notes[k_cart_notes];
};

struct orrery_pattern {
  int32_t channel[4];  // 0-127: bits 0-5 sound number, bit 6 channel off
  int32_t flags;       // bit 0 loop start, bit 1 loop back, bit 2 stop, bit 3 unused
};

struct orrery_cart {
  char code[k_cart_code_size];                 // program source, NUL-terminated
  vell_bitmap *gfx;                            // sprite sheet 128x128, one pixel 0-15 per byte
  vell_bitmap *map;                            // map 128x64, one tile number per byte
  orrery_sfx sfx[k_cart_sfx_count];
  orrery_pattern music[k_cart_pattern_count];
  int32_t flags[k_cart_flag_count];            // sprite flags, low 8 bits used
  vell_bitmap *label;                          // 128x128 title picture, or null
  int32_t version;                             // format version of the source file
};

// A new empty cartridge: everything zero, code empty, no label, except
// sound 0 speed 1, sounds 1-63 speed 16 and every pattern's channels 0x41,
// 0x42, 0x43, 0x44 (all off). Null when memory could not be had.
orrery_cart *vell_create_orrery_cart();
// Stops the sounds that play from the cartridge (the machine hook cart_released),
// clears the machine's and the working slot's reference to it and frees it.
// Null is ignored.
void vell_destroy_orrery_cart(orrery_cart *cart);
// Sets a cartridge back to the empty defaults, keeping its bitmaps and
// dropping its label.
void orrery_clear_cart(orrery_cart *cart);

// The working cartridge: the one last loaded or saved; reload copies from
// it. The slot does not own the cartridge.
orrery_cart *orrery_working_cart();
void orrery_set_working_cart(orrery_cart *cart);

// Set when a loader refused a file written by a newer console; the load
// command reads and clears it.
int orrery_future_version_status();
void orrery_set_future_version_status(int on);
