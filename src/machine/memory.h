// The 32 KB address space: address layout, byte encodings, reads, writes
// with their register side effects, the copy operations and the shared
// sprite/map quarter.
#pragma once

#include <cstdint>

struct pstate_t;
struct orrery_cart;

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

constexpr int32_t k_cart_image_size = k_addr_user;  // 17152 bytes a cartridge file stores
constexpr int32_t k_sfx_bytes = 68;                 // bytes per sound effect in memory

// Register 0x5f30: a program writes 1 so that the next press of the pause
// button does not open the pause menu; the console writes 0 back.
constexpr int32_t k_addr_pause_suppress = 0x5f30;

// While 0x5f60-0x5f63 hold these four bytes, screen palette entries keep
// bit 7, so that the extended display colours 128-143 can be shown.
constexpr uint8_t k_extended_palette_code[4] = {0x5e, 0xc7, 0x0a, 0x91};
int orrery_extended_palette_enabled(const pstate_t *m);

// The memory context is either the live machine (m and its live cartridge)
// or a bare cartridge (m null): then only 0x0000-0x42ff is reachable, reads
// above read 0 and writes above do nothing.

// Byte 0-255 at addr; addresses outside 0-32767 read 0.
int32_t orrery_peek(const pstate_t *m, const orrery_cart *cart, int32_t addr);
// Stores the low 8 bits of value. An address outside 0-32767 stores nothing
// and reports "bad memory access".
void orrery_poke(pstate_t *m, orrery_cart *cart, int32_t addr, int32_t value);
// Copies len bytes (1-32767, else nothing) byte by byte through the read and
// write rules; overlapping ranges copy correctly in both directions.
void orrery_memcpy(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len);
// Writes the low 8 bits of value to len bytes (1-32767, else nothing).
void orrery_memset(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t value, int32_t len);
// Copies len bytes from the working cartridge (0 from 0x4300 on) into
// memory. A len below 1 forgets the partial cartridge name, if any, and
// starts the activity indicator.
void orrery_reload(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len);
// Copies len bytes (1-32767, else nothing) from live memory to target's
// 0x0000-0x42ff.
void orrery_cstore(const pstate_t *m, orrery_cart *target, int32_t dest, int32_t src, int32_t len);

// The shared quarter: map rows 32-63 and sprite rows 64-127 hold the same
// bytes. Map byte b at (x, y) is pixel (2 (x mod 64), 64 + 2 (y - 32) + x / 64)
// = b & 15 and the pixel to its right = b >> 4.
void sync_shared_gfx_to_map(orrery_cart *cart);
void sync_shared_map_to_gfx(orrery_cart *cart);
// Makes both views agree after a load: the map's rows win when any of them
// is non-zero, else the sprite rows.
void orrery_sync_shared_quarter(orrery_cart *cart);

// Every write outside 0-32767 ends here. Unless the reset glitch runs, it
// calls the hook with "bad memory access"; the default hook logs it.
void orrery_bad_memory_access(const pstate_t *m);
using orrery_memory_error_func = void (*)(const char *message);
// Null restores the default hook.
void orrery_set_memory_error_hook(orrery_memory_error_func f);

// The partial cartridge name: the last file that reload or cstore used by
// name ("" when none).
const char *orrery_partial_cart_name();
void orrery_set_partial_cart_name(const char *name);

// Frames the activity indicator runs when the partial cartridge changes.
constexpr int32_t k_activity_frames = 30;
