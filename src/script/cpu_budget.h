// The CPU budget and the frame-rate controller of running programs.
#pragma once

#include <cstdint>

// Resets the budget counters and the frame-rate controller (at reboot).
void reset_cpu_budget();
// Tells the frame-rate controller that a frame was cut off before it
// reached flip, so that it halves the frame rate.
void note_held_frame();

// Charges n virtual cycles (at least 1) to the running program's frame.
void spend_cpu(int32_t n);
// Adds n cycles (normally negative) without the minimum; positive amounts
// also count as system cycles.
void refund_cpu(int32_t n);

// Tests watch the charges through an observer that sees every amount as
// requested (before spend_cpu raises 0 to 1); refund is 1 for refund_cpu.
// Null removes it.
using orrery_cpu_observer = void (*)(int32_t cycles, int refund);
void orrery_set_cpu_observer(orrery_cpu_observer f);
