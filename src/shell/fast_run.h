// Exec mode as a test runner: with -fast, a virtual clock that moves a
// sixtieth of a second per loop iteration (a host presenting at 60 Hz),
// logical frames paced on that clock and no sleeping between iterations;
// with -frames N, the end of the run after N logical frames.
#pragma once

#include <cstdint>

constexpr int32_t k_fast_iterations_per_second = 60;

// In exec mode with -fast: installs the virtual clock, starting from the
// clock's present reading, and turns off the loop's sleep for this run.
// Does nothing otherwise (-fast and -frames apply to exec mode only).
void orrery_fast_start();
// Puts back the clock the virtual one replaced.
void orrery_fast_stop();
// 1 while the virtual clock runs.
int orrery_fast_active();
// Moves the virtual clock one iteration on; 1 when a logical frame is due
// in this iteration at fps frames a second (at most one per iteration, as
// on a real host).
int orrery_fast_frame_due(int32_t fps);

// Counts one logical frame of an exec-mode run; once -frames is reached
// the loop ends after this iteration, as when the cartridge ends.
void orrery_count_exec_frame();
