// The headless backend: no window, no sound device, no display. Time is
// the system's monotonic clock; everything else keeps the contracts'
// defaults (nothing to show, nothing held, silence, a clipboard of the
// console's own).
#pragma once

#include "platform/audio_out.h"
#include "platform/clipboard_store.h"
#include "platform/clock_source.h"
#include "platform/input_devices.h"
#include "platform/video_out.h"

const vell_video_out *vell_headless_video();
const vell_input_devices *vell_headless_input();
const vell_audio_out *vell_headless_audio();
const vell_clipboard_store *vell_headless_clipboard();
const vell_clock_source *vell_headless_clock();
