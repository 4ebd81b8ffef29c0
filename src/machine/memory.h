// The 32 KB address space: address layout, byte encodings, reads, writes
// with their register side effects, the copy operations and the shared
// sprite/map quarter.
#pragma once

#include <cstdint>

#include "machine/registers.h"

struct pstate_t;
struct orrery_cart;

constexpr int32_t k_cart_image_size = k_addr_user;  // 17152 bytes a cartridge file stores
constexpr int32_t k_sfx_bytes = 68;                 // bytes per sound effect in memory

// While the four bytes at k_addr_extended_pal hold this code, screen palette
// entries keep bit 7, so that the extended display colours 128-143 can be
// shown.
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
// calls the machine hook memory_error with "bad memory access" (by default
// it is only logged).
void orrery_bad_memory_access(const pstate_t *m);

// The partial cartridge name: the last file that reload or cstore used by
// name ("" when none).
const char *orrery_partial_cart_name();
void orrery_set_partial_cart_name(const char *name);

// Frames the activity indicator runs when the partial cartridge changes.
constexpr int32_t k_activity_frames = 30;
