// Platform start and stop, time, delays, threads and the application-active flag.
#pragma once

#include <cstdint>

#include "platform/thread_runner.h"

// Starts the platform on its backends: the headless ones when the
// configuration says headless, else the desktop's (SDL, which ends the
// process through vell_fatal_error when it cannot start).
void vell_system_init();
void vell_system_exit();

// Milliseconds since start, from the clock in use (a test installs its own
// through vell_clock_source_use).
uint32_t vell_get_time();
void vell_reset_timer();

void vell_delay(uint32_t ms);
// Calls turn until it returns 0, through the clock in use: right here, or
// in a browser tab from the browser's display frames (this then returns
// before the first call).
void vell_run_loop(int (*turn)());

// 1 while the window has keyboard focus (always 1 without a window).
int vell_is_app_active();
void vell_set_app_active(int active);
// Time in ms at which the window last became active.
uint32_t vell_app_activation_time();

// Starts a thread running f; returns its handle, or null on failure.
void *vell_create_thread(vell_thread_func f);
// Detaches the thread; it runs to its end on its own.
void vell_destroy_thread(void *handle);
// Waits until the thread has ended and releases its handle; null is ignored.
void vell_wait_thread(void *handle);

// The platform library's last error text ("" when none).
const char *vell_platform_error();

// Seconds since 1970 by the system's calendar clock.
int64_t vell_get_calendar_seconds();
