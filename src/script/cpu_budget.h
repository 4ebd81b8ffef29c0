// The CPU budget and the frame-rate controller of running programs.
#pragma once

// Resets the budget counters and the frame-rate controller (at reboot).
void reset_cpu_budget();
// Tells the frame-rate controller that a frame was cut off before it
// reached flip, so that it halves the frame rate.
void note_held_frame();
