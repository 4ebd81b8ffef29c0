// The message bar: short notices that slide in at the bottom of the window
// for a given time, in alternating colours, and the sound toggle that uses it.
#pragma once

#include <cstdint>

#include "machine/hooks.h"

struct vell_bitmap;

// Extra time a message stays beyond the time asked for: 200 ms sliding in
// and 200 ms sliding out.
constexpr uint32_t k_message_slide_ms = 400;
constexpr int32_t k_message_size = 256;  // message bar text, bytes with the terminator

struct orrery_message_bar_t {
  char text[k_message_size] = "";  // text shown
  uint32_t start = 0;              // ms when shown; 0 draws the bar without sliding in
  uint32_t end = 0;                // ms, exclusive: the bar shows while now < end
  int32_t colour = 0;              // 15 or 7, alternating from one message to the next
};

// The bar as last shown.
const orrery_message_bar_t &message_bar_state();
// No message (console start and exit).
void message_bar_reset();

// Shows text for ms milliseconds (plus the sliding time); the text is cut
// to 255 bytes. The layers below reach it as show_message and
// show_message_2 (machine/hooks.h).
void show_message_ex(const char *text, int32_t ms);

// Draws the bar on the page while the message lasts.
void draw_message_bar(vell_bitmap *page);
// 1 while the bar shows text (exact match).
int message_bar_shows(const char *text);

// Switches sound and music off, or back on at full volume, and says so.
void toggle_mute();
