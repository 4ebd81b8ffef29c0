// The SDL backend: a window, the keyboard, mouse and controllers, the
// sound device, the desktop's clipboard and SDL's clock. The library is
// loaded when one of these is first used.
#pragma once

#include "platform/audio_out.h"
#include "platform/clipboard_store.h"
#include "platform/clock_source.h"
#include "platform/input_devices.h"
#include "platform/video_out.h"

const vell_video_out *vell_sdl_video();
const vell_input_devices *vell_sdl_input();
const vell_audio_out *vell_sdl_audio();
const vell_clipboard_store *vell_sdl_clipboard();
const vell_clock_source *vell_sdl_clock();
