#include "machine/memory.h"

#include <string>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/hooks.h"
#include "machine/pstate.h"
#include "platform/audio_device.h"

namespace {

std::string g_partial_name;  // last file used by reload or cstore by name

inline bool in_space(int32_t addr) { return addr >= 0 && addr < k_addr_end; }

// Sprite sheet byte at 0x0000-0x1fff: two pixels of one row.
int32_t read_gfx(const orrery_cart *cart, int32_t addr) {
  const uint8_t *row = cart->gfx->line[addr >> 6];
  const int32_t x = (addr & 63) * 2;
  return row[x] + row[x + 1] * 16;
}

void write_gfx(orrery_cart *cart, int32_t addr, uint8_t v) {
  uint8_t *row = cart->gfx->line[addr >> 6];
  const int32_t x = (addr & 63) * 2;
  row[x] = v & 15;
  row[x + 1] = v >> 4;
}

// Map cell for an address in 0x1000-0x2fff: rows 32-63 below 0x2000,
// rows 0-31 from 0x2000 on.
uint8_t &map_cell(const orrery_cart *cart, int32_t addr) {
  const int32_t y = addr >= k_addr_map ? (addr - k_addr_map) >> 7 : 32 + ((addr - k_addr_shared) >> 7);
  return cart->map->line[y][addr & 127];
}

int32_t read_sound(const orrery_cart *cart, int32_t addr) {
  const int32_t off = addr - k_addr_sfx;
  const orrery_sfx &s = cart->sfx[off / k_sfx_bytes];
  const int32_t k = off % k_sfx_bytes;
  if (k < 64) {
    const orrery_note &n = s.notes[k >> 1];
    if ((k & 1) == 0) return (n.pitch & 63) | ((n.waveform & 3) << 6);
    return ((n.waveform >> 2) & 1) | ((n.volume & 7) << 1) | ((n.effect & 7) << 4) | (n.custom ? 128 : 0);
  }
  switch (k) {
    case 64: return s.editor_mode;
    case 65: return s.speed;
    case 66: return s.loop_start;
    default: return s.loop_end;
  }
}

void write_sound(orrery_cart *cart, int32_t addr, uint8_t v) {
  const int32_t off = addr - k_addr_sfx;
  orrery_sfx &s = cart->sfx[off / k_sfx_bytes];
  const int32_t k = off % k_sfx_bytes;
  if (k < 64) {
    orrery_note &n = s.notes[k >> 1];
    if ((k & 1) == 0) {
      n.pitch = v & 63;
      n.waveform = (n.waveform & 4) | (v >> 6);
    } else {
      n.waveform = (n.waveform & 3) | ((v & 1) << 2);
      n.volume = (v >> 1) & 7;
      n.effect = (v >> 4) & 7;
      n.custom = v & 128;
    }
    return;
  }
  switch (k) {
    case 64: s.editor_mode = v; break;
    case 65: s.speed = v; break;
    case 66: s.loop_start = v; break;
    default: s.loop_end = v; break;
  }
}

// The cartridge part, 0x0000-0x42ff.
int32_t read_cart(const orrery_cart *cart, int32_t addr) {
  if (!cart) return 0;
  if (addr < k_addr_map) return read_gfx(cart, addr);
  if (addr < k_addr_flags) return map_cell(cart, addr);
  if (addr < k_addr_music) return cart->flags[addr - k_addr_flags];
  if (addr < k_addr_sfx) {
    const int32_t c = addr & 3;
    const orrery_pattern &p = cart->music[(addr - k_addr_music) >> 2];
    return (p.channel[c] & 127) | (((p.flags >> c) & 1) << 7);
  }
  return read_sound(cart, addr);
}

void write_cart(orrery_cart *cart, int32_t addr, uint8_t v) {
  if (!cart) return;
  if (addr < k_addr_map) {
    write_gfx(cart, addr, v);
    if (addr >= k_addr_shared) map_cell(cart, addr) = v;
  } else if (addr < k_addr_flags) {
    map_cell(cart, addr) = v;
  } else if (addr < k_addr_music) {
    cart->flags[addr - k_addr_flags] = v;
  } else {
    // The mixer reads patterns and sounds on the audio thread.
    vell_lock_audio_plat();
    if (addr < k_addr_sfx) {
      const int32_t c = addr & 3;
      orrery_pattern &p = cart->music[(addr - k_addr_music) >> 2];
      p.channel[c] = v & 127;
      p.flags = (p.flags & ~(1 << c)) | ((v >> 7) << c);
    } else {
      write_sound(cart, addr, v);
    }
    vell_unlock_audio_plat();
  }
}

// Registers with a read rule of their own set v and return true; the
// others read the mirror.
bool read_register(const pstate_t *m, int32_t addr, int32_t &v) {
  if (addr < k_addr_screen_pal) {
    v = m->draw_pal[addr - k_addr_draw_pal];
    return true;
  }
  if (addr < k_addr_clip) {
    v = m->screen_pal[addr - k_addr_screen_pal];
    return true;
  }
  switch (addr) {
    case k_addr_clip: v = m->clip_x0; break;
    case k_addr_clip + 1: v = m->clip_y0; break;
    case k_addr_clip + 2: v = m->clip_x1; break;
    case k_addr_clip + 3: v = m->clip_y1; break;
    case k_addr_pen: v = m->pen; break;
    case k_addr_cursor_x: v = m->cursor_x; break;
    case k_addr_cursor_y: v = m->cursor_y; break;
    case k_addr_camera: v = m->camera_x; break;
    case k_addr_camera + 1: v = m->camera_x >> 8; break;
    case k_addr_camera + 2: v = m->camera_y; break;
    case k_addr_camera + 3: v = m->camera_y >> 8; break;
    case k_addr_draw_mode: v = m->draw_mode; break;
    case k_addr_fill_pattern: v = m->fill_pattern; break;
    case k_addr_fill_pattern + 1: v = m->fill_pattern >> 8; break;
    case k_addr_fill_pattern + 2: v = m->fill_pattern >> 16; break;
    default: return false;
  }
  return true;
}

// Replaces the low (high = false) or high byte of a signed 16-bit value.
int32_t set_s16_byte(int32_t old, uint8_t v, bool high) {
  const int32_t lo = high ? (old & 255) : v;
  const int32_t hi = high ? v : ((old >> 8) & 255);
  return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
}

void write_register(pstate_t *m, int32_t addr, uint8_t v) {
  if (addr < k_addr_screen_pal) {
    m->draw_pal[addr - k_addr_draw_pal] = v;
    return;
  }
  if (addr < k_addr_clip) {
    m->screen_pal[addr - k_addr_screen_pal] = v;
    return;
  }
  switch (addr) {
    case k_addr_clip: case k_addr_clip + 1: case k_addr_clip + 2: case k_addr_clip + 3: {
      int32_t *const corner[4] = {&m->clip_x0, &m->clip_y0, &m->clip_x1, &m->clip_y1};
      *corner[addr - k_addr_clip] = v;
      vell_set_clip(m->screen, m->clip_x0, m->clip_y0, m->clip_x1, m->clip_y1);
      break;
    }
    case k_addr_pen: m->pen = v; break;
    case k_addr_cursor_x: m->cursor_x = v; break;
    case k_addr_cursor_y: m->cursor_y = v; break;
    case k_addr_camera: m->camera_x = set_s16_byte(m->camera_x, v, false); break;
    case k_addr_camera + 1: m->camera_x = set_s16_byte(m->camera_x, v, true); break;
    case k_addr_camera + 2: m->camera_y = set_s16_byte(m->camera_y, v, false); break;
    case k_addr_camera + 3: m->camera_y = set_s16_byte(m->camera_y, v, true); break;
    case k_addr_draw_mode: m->draw_mode = v; break;
    case k_addr_fill_pattern: m->fill_pattern = (m->fill_pattern & ~0xff) | v; break;
    case k_addr_fill_pattern + 1: m->fill_pattern = (m->fill_pattern & ~0xff00) | (v << 8); break;
    // Only the transparency bit is cleared first; higher bits written here
    // stay until the pattern is set as a whole.
    case k_addr_fill_pattern + 2: m->fill_pattern = (m->fill_pattern & ~0x10000) | (v << 16); break;
    case k_addr_audio_masks: case k_addr_audio_masks + 1: case k_addr_audio_masks + 2: case k_addr_audio_masks + 3:
      m->audio_mask[addr - k_addr_audio_masks].store(v & 15);
      break;
    default: break;
  }
}

// Two screen pixels; the screen read masks each pixel to a colour.
int32_t read_screen(const pstate_t *m, int32_t addr) {
  if (!m->screen) return 0;
  const int32_t off = addr - k_addr_screen;
  const uint8_t *row = m->screen->line[off >> 6];
  const int32_t x = (off & 63) * 2;
  return (row[x] & 15) | ((row[x + 1] & 15) << 4);
}

void write_screen(pstate_t *m, int32_t addr, uint8_t v) {
  if (!m->screen) return;
  const int32_t off = addr - k_addr_screen;
  uint8_t *row = m->screen->line[off >> 6];
  const int32_t x = (off & 63) * 2;
  row[x] = v & 15;
  row[x + 1] = v >> 4;
}

// The write rule for an address known to be inside the space.
void write_byte(pstate_t *m, orrery_cart *cart, int32_t addr, uint8_t v) {
  if (m) m->ram[addr] = v;
  if (addr < k_addr_user) {
    write_cart(cart, addr, v);
    return;
  }
  if (!m || addr < k_addr_cdata) return;
  if (addr < k_addr_regs) {
    // The reset glitch scribbles over memory; it must not reach the saved data.
    if (m->reset_glitch) return;
    const int32_t i = (addr - k_addr_cdata) >> 2, shift = (addr & 3) * 8;
    const uint32_t old = static_cast<uint32_t>(m->cdata[i]);
    m->cdata[i] = static_cast<int32_t>((old & ~(0xffu << shift)) | (uint32_t(v) << shift));
    m->cdata_changed = 1;
  } else if (addr < k_addr_gpio) {
    write_register(m, addr, v);
  } else if (addr < k_addr_screen) {
    m->gpio[addr - k_addr_gpio] = v;
  } else {
    write_screen(m, addr, v);
  }
}

// The write rule with the range check.
inline void write_checked(pstate_t *m, orrery_cart *cart, int32_t addr, uint8_t v) {
  if (in_space(addr)) write_byte(m, cart, addr, v);
  else orrery_bad_memory_access(m);
}

inline bool copy_len_ok(int32_t len) { return len >= 1 && len <= 32767; }

// Regions where a run of bytes reads and writes with one simple rule each,
// for memcpy and memset to copy without the per-byte region dispatch. The
// sprite rows below the shared part are one; the shared part is not (its
// writes also go to the map).
enum class run_region { none, gfx, user, screen };

// The region that holds all of [addr, addr + len) (len >= 1), or none.
run_region region_of_run(int64_t addr, int64_t len) {
  const int64_t end = addr + len;
  if (addr >= k_addr_gfx && end <= k_addr_shared) return run_region::gfx;
  if (addr >= k_addr_user && end <= k_addr_cdata) return run_region::user;
  if (addr >= k_addr_screen && end <= k_addr_end) return run_region::screen;
  return run_region::none;
}

// orrery_peek for an address of a known region (m not null).
template <run_region R>
inline uint8_t read_in(const pstate_t *m, const orrery_cart *cart, int32_t addr) {
  if constexpr (R == run_region::gfx) return cart ? static_cast<uint8_t>(read_gfx(cart, addr)) : 0;
  else if constexpr (R == run_region::user) return m->ram[addr];
  else return m->screen ? static_cast<uint8_t>(read_screen(m, addr)) : 0;
}

// write_byte for an address of a known region (m not null).
template <run_region R>
inline void write_in(pstate_t *m, orrery_cart *cart, int32_t addr, uint8_t v) {
  m->ram[addr] = v;
  if constexpr (R == run_region::gfx) {
    if (cart) write_gfx(cart, addr, v);
  } else if constexpr (R == run_region::screen) {
    if (m->screen) write_screen(m, addr, v);
  }
}

// The bytes of memcpy between two region runs, in the same order as the
// byte-by-byte rule: backward when dest >= src, so that overlapping runs
// copy as memmove does.
template <run_region S, run_region D>
void copy_run(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len) {
  if (dest >= src) {
    for (int32_t i = len - 1; i >= 0; i--) write_in<D>(m, cart, dest + i, read_in<S>(m, cart, src + i));
  } else {
    for (int32_t i = 0; i < len; i++) write_in<D>(m, cart, dest + i, read_in<S>(m, cart, src + i));
  }
}

template <run_region S>
bool copy_from(run_region d, pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len) {
  switch (d) {
    case run_region::gfx: copy_run<S, run_region::gfx>(m, cart, dest, src, len); return true;
    case run_region::user: copy_run<S, run_region::user>(m, cart, dest, src, len); return true;
    case run_region::screen: copy_run<S, run_region::screen>(m, cart, dest, src, len); return true;
    default: return false;
  }
}

// memcpy for runs that each lie in one region; false when they do not.
bool copy_runs(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len) {
  if (!m) return false;
  const run_region d = region_of_run(dest, len);
  switch (region_of_run(src, len)) {
    case run_region::gfx: return copy_from<run_region::gfx>(d, m, cart, dest, src, len);
    case run_region::user: return copy_from<run_region::user>(d, m, cart, dest, src, len);
    case run_region::screen: return copy_from<run_region::screen>(d, m, cart, dest, src, len);
    default: return false;
  }
}

template <run_region D>
void set_run(pstate_t *m, orrery_cart *cart, int32_t dest, uint8_t v, int32_t len) {
  for (int32_t i = 0; i < len; i++) write_in<D>(m, cart, dest + i, v);
}

}  // namespace

int orrery_extended_palette_enabled(const pstate_t *m) {
  for (int i = 0; i < 4; i++)
    if (m->ram[k_addr_extended_pal + i] != k_extended_palette_code[i]) return 0;
  return 1;
}

int32_t orrery_peek(const pstate_t *m, const orrery_cart *cart, int32_t addr) {
  if (!in_space(addr)) return 0;
  // The screen and user data first: the regions programs peek most.
  if (m && addr >= k_addr_screen) return read_screen(m, addr) & 255;
  if (m && addr >= k_addr_user && addr < k_addr_cdata) return m->ram[addr];
  int32_t v = m ? m->ram[addr] : 0;
  if (addr < k_addr_user) {
    v = read_cart(cart, addr);
  } else if (!m) {
    v = 0;
  } else if (addr < k_addr_cdata) {
    // user data: the mirror byte
  } else if (addr < k_addr_regs) {
    const int32_t i = (addr - k_addr_cdata) >> 2;
    v = static_cast<int32_t>(static_cast<uint32_t>(m->cdata[i]) >> ((addr & 3) * 8));
  } else if (addr < k_addr_gpio) {
    read_register(m, addr, v);
  } else if (addr < k_addr_screen) {
    v = m->gpio[addr - k_addr_gpio];
  } else {
    v = read_screen(m, addr);
  }
  return v & 255;
}

void orrery_poke(pstate_t *m, orrery_cart *cart, int32_t addr, int32_t value) {
  write_checked(m, cart, addr, static_cast<uint8_t>(value));
}

void orrery_memcpy(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len) {
  if (!copy_len_ok(len)) return;
  if (copy_runs(m, cart, dest, src, len)) return;
  // Addresses are formed in 64 bits: dest and src may lie anywhere, and
  // bytes outside the space read 0 or report the bad write.
  auto copy_one = [&](int32_t i) {
    const int64_t s = int64_t(src) + i, d = int64_t(dest) + i;
    const int32_t v = s >= 0 && s < k_addr_end ? orrery_peek(m, cart, static_cast<int32_t>(s)) : 0;
    if (d >= 0 && d < k_addr_end) write_byte(m, cart, static_cast<int32_t>(d), static_cast<uint8_t>(v));
    else orrery_bad_memory_access(m);
  };
  if (dest >= src) {
    for (int32_t i = len - 1; i >= 0; i--) copy_one(i);
  } else {
    for (int32_t i = 0; i < len; i++) copy_one(i);
  }
}

void orrery_memset(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t value, int32_t len) {
  if (!copy_len_ok(len)) return;
  if (m) {
    const uint8_t v = static_cast<uint8_t>(value);
    switch (region_of_run(dest, len)) {
      case run_region::gfx: set_run<run_region::gfx>(m, cart, dest, v, len); return;
      case run_region::user: set_run<run_region::user>(m, cart, dest, v, len); return;
      case run_region::screen: set_run<run_region::screen>(m, cart, dest, v, len); return;
      default: break;
    }
  }
  for (int32_t i = 0; i < len; i++) {
    const int64_t d = int64_t(dest) + i;
    if (d >= 0 && d < k_addr_end) write_byte(m, cart, static_cast<int32_t>(d), static_cast<uint8_t>(value));
    else orrery_bad_memory_access(m);
  }
}

void orrery_reload(pstate_t *m, orrery_cart *cart, int32_t dest, int32_t src, int32_t len) {
  if (len > 32767) return;
  if (len < 1) {
    if (!g_partial_name.empty()) {
      g_partial_name.clear();
      if (m) m->busy_countdown = k_activity_frames;
    }
    return;
  }
  const orrery_cart *from = orrery_working_cart();
  if (!from) return;
  for (int32_t i = 0; i < len; i++) {
    const int64_t s = int64_t(src) + i, d = int64_t(dest) + i;
    const int32_t v = s >= 0 && s < k_addr_user ? read_cart(from, static_cast<int32_t>(s)) : 0;
    if (d >= 0 && d < k_addr_end) write_byte(m, cart, static_cast<int32_t>(d), static_cast<uint8_t>(v));
    else orrery_bad_memory_access(m);
  }
}

void orrery_cstore(const pstate_t *m, orrery_cart *target, int32_t dest, int32_t src, int32_t len) {
  if (!copy_len_ok(len) || !m) return;
  for (int32_t i = 0; i < len; i++) {
    const int64_t s = int64_t(src) + i, d = int64_t(dest) + i;
    const int32_t v = s >= 0 && s < k_addr_end ? orrery_peek(m, m->cart, static_cast<int32_t>(s)) : 0;
    if (d >= 0 && d < k_addr_end) write_byte(nullptr, target, static_cast<int32_t>(d), static_cast<uint8_t>(v));
    else orrery_bad_memory_access(m);
  }
}

void sync_shared_map_to_gfx(orrery_cart *cart) {
  if (!cart) return;
  for (int32_t y = 32; y < 64; y++)
    for (int32_t x = 0; x < 128; x++) {
      const uint8_t b = cart->map->line[y][x];
      uint8_t *row = cart->gfx->line[64 + 2 * (y - 32) + x / 64];
      row[2 * (x % 64)] = b & 15;
      row[2 * (x % 64) + 1] = b >> 4;
    }
}

void sync_shared_gfx_to_map(orrery_cart *cart) {
  if (!cart) return;
  // Each map byte becomes what a memory read of the shared address gives.
  for (int32_t y = 32; y < 64; y++)
    for (int32_t x = 0; x < 128; x++)
      cart->map->line[y][x] = static_cast<uint8_t>(read_gfx(cart, k_addr_shared + (y - 32) * 128 + x));
}

void orrery_sync_shared_quarter(orrery_cart *cart) {
  if (!cart) return;
  for (int32_t y = 32; y < 64; y++)
    for (int32_t x = 0; x < 128; x++)
      if (cart->map->line[y][x]) {
        sync_shared_map_to_gfx(cart);
        return;
      }
  sync_shared_gfx_to_map(cart);
}

void orrery_bad_memory_access(const pstate_t *m) {
  if (m && m->reset_glitch) return;
  orrery_machine_hook().memory_error("bad memory access");
}

const char *orrery_partial_cart_name() { return g_partial_name.c_str(); }
void orrery_set_partial_cart_name(const char *name) { g_partial_name = name ? name : ""; }
