// The platform's backends: one table per service, chosen once at start-up.
#pragma once

#include "platform/audio_out.h"
#include "platform/clipboard_store.h"
#include "platform/clock_source.h"
#include "platform/file_watch.h"
#include "platform/input_devices.h"
#include "platform/thread_runner.h"
#include "platform/video_out.h"
#include "platform/web_client.h"

// The tables in use. Every slot is filled (with a default where a backend
// leaves it empty), so callers never test for null. Until vell_backends_start
// the headless backend serves, so that tools that never start the platform
// still have a clock and threads.
struct vell_backend_registry {
  vell_video_out video;
  vell_input_devices input;
  vell_audio_out audio;
  vell_clipboard_store clipboard;
  vell_clock_source clock;
  vell_web_client web;
  vell_thread_runner threads;
  vell_file_watch watch;
};

extern vell_backend_registry vell_backends;

// Chooses the backends: with headless, none that needs a display or a
// device; else the desktop's. A service a test installed through its
// *_use function before the start keeps that table. Starts the input devices.
void vell_backends_start(int headless);
// Stops the input devices and hands every service the start chose back.
void vell_backends_stop();
