// The CPU budget and the frame-rate controller of running programs.
#pragma once

#include <cstdint>

constexpr int32_t k_cycles_per_second = 0x400000;  // virtual cycles the console promises
constexpr int32_t k_hook_interval = 1024;          // interpreter instructions per count-hook call
constexpr int32_t k_fps_history = 30;              // measured host frame rates kept
constexpr int32_t k_max_penalty = 10;              // ceiling of the slow-host penalty (ms)
constexpr int32_t k_default_fps = 30;              // frame rate of a program until it asks for another

struct lua_State;

// The counters are signed 32-bit cycles. The current frame rate (60, 30 or
// 15) is the shell's target rate in pstate, so that the shell runs one
// logical frame per frame of the program.
struct cpu_budget_t {
  lua_State *state = nullptr;       // interpreter state charges count for; null while none runs
  int32_t limiter_count = 0;        // cycles towards this frame's budget; cleared (but for an overdraft) by flip
                                    // and when the program is suspended until the next frame
  int32_t frame_cycles = 0;         // cycles of this frame (stat(1), _mark_cpu); cleared by flip
  int32_t system_cycles = 0;        // positive API charges of this frame (stat(2)); cleared by flip
  int32_t spend_remainder = 0;      // charges not yet forwarded to the hook count, below 1024
  int32_t wanted_fps = k_default_fps;  // rate the program asked for with _set_fps (stat(8))
  int32_t mark_cycles[3] = {};      // frame cycles at _mark_cpu(0), (1), (2): before update, before draw, after draw
  uint32_t mark_ms[3] = {};         // time in ms at the same marks
  int32_t history[k_fps_history] = {};  // measured host frame rates, most recent last; 0 = no sample yet
  int32_t previous_load = 0;        // 16.16 share of a frame budget used by the frame before
  int32_t current_load = 0;         // 16.16 share used by the last measured frame
  int32_t penalty = 0;              // 0..10 ms added to the lag after quick repeated drops (stat(10))
  uint32_t last_drop_ms = 0;        // time of the last drop for host slowness
  int32_t halving_request = 0;      // 1 when a frame was cut off before flip
  int32_t held_frame_seen = 0;      // 1 once holdframe() ran since the last reset
  int32_t hold_frame = 0;           // 1 while the program holds its frame: the shell keeps the presented picture
  uint32_t draw_ms = 0;             // time the shell's last draw took, ms (part of the host's lag)
  int32_t overdraft = 0;            // 1 when code that could not be suspended ran past the frame's budget:
                                    // the limiter count beyond it is carried into the next frames
};

// The budget of the running program, for reading (stat, the shell, tests).
const cpu_budget_t &cpu_budget();

// Resets the counters and the frame-rate controller (start, reboot). The
// state charged and the last draw time are kept.
void reset_cpu_budget();
// The interpreter state whose program the charges are for; the runner sets
// it when it opens one and clears it before closing it.
void cpu_charge_state(lua_State *L);
// The shell's measurement of its last draw, ms (part of the host's lag).
void cpu_set_draw_ms(uint32_t ms);
// Clears the frame-rate bookkeeping, penalty and hold flags at a program's
// start (the runtime reset).
void reset_frame_rate_control();

// The rate in force (stat(7)) and its budget per frame, 4194304 / rate.
int32_t current_fps();
int32_t frame_budget();
// Sets the wanted and the current rate (the _set_fps entry point); rates
// outside 1..60 are clamped.
void set_fps(int32_t fps);
// The 16.16 share of one frame's budget at the wanted rate that c cycles
// represent: (c << 16) / (4194304 / max(wanted, 1)), truncated.
int32_t cycles_2_frame_capacity(int32_t c);

// Charges n virtual cycles (at least 1) to the running program's frame.
// Nothing is counted while no interpreter state exists. The counters stop
// at the ends of their range instead of wrapping.
void spend_cpu(int32_t n);
// Adds n cycles (normally negative) without the minimum; positive amounts
// also count as system cycles.
void refund_cpu(int32_t n);
// Both show every amount as requested to the script hook cpu_charged
// (tests watch the charges through it).

// One count-hook call: adds 1024 cycles to the frame and to the limiter
// count. True when the frame's budget is used up.
bool cpu_hook_tick();
// Adds the cycles of n instructions counted outside a full hook interval.
void cpu_count_instructions(int32_t n);
// Called at the start of every slice: charges not yet forwarded are dropped.
void cpu_begin_slice();
// The frame ends at flip: the frame's counters start again from 0, except
// for an overdraft, which the limiter count keeps.
void cpu_end_frame();
// The program was suspended until the next frame (its budget used up, or
// the host frame over): the limiter count starts again from 0, or from the
// overdraft.
void cpu_next_frame();
// Records the frame cycles and the time in mark i (clamped to 0..2).
void mark_cpu(int32_t i);
// Marks the frame as held (holdframe()): it is shown only once flip ends it.
void mark_frame_held();
// The held frame is over (flip, or the program stopped).
void release_held_frame();
// Code that could not be suspended ran past the frame's budget: the cycles
// beyond it are carried into the next frames.
void note_overdraft();
// Tells the frame-rate controller that a frame of the generated main loop
// was cut off before it reached flip, so that it halves the frame rate.
void note_held_frame();
// The frame-rate controller, run once per generated frame after flip.
void update_frame_rate();
