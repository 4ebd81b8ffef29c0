#include "shell/message_bar.h"

#include <cstdio>
#include <cstring>

#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/system.h"
#include "shell/console.h"
#include "shell/resources.h"

namespace {

orrery_message_bar_t g;

constexpr int k_res_mouse_icon = 226;  // 15x15 picture of the devkit mouse message

// Pixels the bar lies below its resting place: 10 down to 0 over the first
// 200 ms, 0 up to 9 over the last 200 ms; 0 for a message shown without
// sliding.
int32_t slide_offset(int64_t now) {
  const orrery_message_bar_t &c = g;
  if (c.start == 0) return 0;
  if (now < int64_t(c.start) + 200) return static_cast<int32_t>((int64_t(c.start) - now + 200) / 20);
  if (now >= int64_t(c.end) - 200) return static_cast<int32_t>((now - int64_t(c.end) + 200) / 20);
  return 0;
}

void rect_outline(vell_bitmap *b, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t c) {
  vell_rectfill(b, x0, y0, x1, y0, c);
  vell_rectfill(b, x0, y1, x1, y1, c);
  vell_rectfill(b, x0, y0, x0, y1, c);
  vell_rectfill(b, x1, y0, x1, y1, c);
}

}  // namespace

const orrery_message_bar_t &message_bar_state() { return g; }

void message_bar_reset() { g = orrery_message_bar_t{}; }

void show_message_ex(const char *text, int32_t ms) {
  orrery_message_bar_t &c = g;
  // Longer texts are cut to what the bar holds.
  const size_t n = text ? strnlen(text, sizeof c.text - 1) : 0;
  if (n) memcpy(c.text, text, n);
  c.text[n] = 0;
  const uint32_t now = vell_get_time();
  c.start = now;
  c.end = now + static_cast<uint32_t>(ms) + k_message_slide_ms;
  c.colour = c.colour == 15 ? 7 : 15;
}


int message_bar_shows(const char *text) {
  const orrery_message_bar_t &c = g;
  return int64_t(vell_get_time()) < int64_t(c.end) && strcmp(c.text, text) == 0;
}

void draw_message_bar(vell_bitmap *page) {
  const orrery_message_bar_t &c = g;
  const int64_t now = vell_get_time();
  if (!page || now >= int64_t(c.end)) return;
  const int32_t slide = slide_offset(now);
  if (strcmp(c.text, "devkit mouse enabled") == 0) {
    rect_outline(page, 0, 119 + slide, 101, 127 + slide, 0);
    vell_rectfill(page, 1, 120 + slide, 100, 126 + slide, 6);
    vell_draw_text_ex(page, c.text, pstate.font, 16, 121 + slide, k_text_colour, 1);
    if (vell_bitmap *icon = orrery_resource_bitmap(k_res_mouse_icon))
      vell_draw_sprite(icon, page, 0, 0, 2, 112 + 2 * slide, icon->w, icon->h);
    return;
  }
  vell_rectfill(page, 0, 121 + slide, 128, 127 + slide, 8);
  vell_draw_text_ex(page, c.text, pstate.font, 1, 122 + slide, k_text_colour,
                    static_cast<uint32_t>(c.colour));
}

void toggle_mute() {
  const int32_t volume = vell_config().sound_volume > 0 ? 0 : 256;
  vell_config_set(&vell_config_t::sound_volume, volume);
  vell_config_set(&vell_config_t::music_volume, volume);
  show_message(volume ? "sound on" : "sound off", 1400);
}
