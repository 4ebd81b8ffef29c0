// The loop body: the console's update and draw, presentation and events,
// the fixed-rate frame accumulator, requests and the global shortcut keys.
#pragma once

#include <cstdint>

// orrery_runtime_error, the request to stop the program with an error.
#include "script/runner.h"

constexpr int32_t k_frame_one = 0x10000;       // one logical frame in the 16.16 accumulator
constexpr int32_t k_frame_backlog = 4 * 0x10000;  // most frames the accumulator holds

// One iteration of the outer loop.
void vell_main_iteration();
// The console's update: requests, timing, at most one logical frame, keys.
void vell_main_update();
// The console's picture: screen memory, overlays and the message bar on
// the engine back page.
void vell_main_draw();

// Starts the loop's clock now, so that the first update does not count the
// time spent starting up.
void orrery_reset_frame_clock();
