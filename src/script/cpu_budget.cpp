#include "script/cpu_budget.h"

#include <cstring>

#include "machine/app_config.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/system.h"
#include "platform/video.h"
#include "script/hooks.h"
#include "script/interp.h"

namespace {

// The running program's budget and frame-rate controller; reset at start-up
// and reboot.
cpu_budget_t g_budget;

constexpr int32_t k_max_fps = 60;
constexpr int32_t k_full_load = 16 << 16;       // the load of a frame that could not be measured
constexpr int32_t k_recovery_load = 63487;      // 0.96873 of a frame's budget
constexpr uint32_t k_quick_drop_ms = 200;       // drops closer than this raise the penalty
constexpr int32_t k_unmeasured_lag = 1000;      // ms, when the marks did not advance

int32_t clamp_fps(int32_t fps) { return fps < 1 ? 1 : fps > k_max_fps ? k_max_fps : fps; }

// Adds n to a counter, stopping at the ends of its range: one call may
// charge far more than a frame (a print that scrolls thousands of times).
inline void add_to(int32_t &counter, int32_t n) {
  int32_t v;
  if (__builtin_add_overflow(counter, n, &v)) v = n > 0 ? INT32_MAX : INT32_MIN;
  counter = v;
}

// Counts n towards the frame and forwards whole blocks of 1024 to the
// running thread's hook count, so that its next limit check comes sooner.
void charge(int32_t n) {
  cpu_budget_t &b = g_budget;
  add_to(b.frame_cycles, n);
  add_to(b.limiter_count, n);
  add_to(b.spend_remainder, n);
  if (b.spend_remainder >= k_hook_interval) {
    const int32_t k = b.spend_remainder / k_hook_interval;
    b.spend_remainder -= k * k_hook_interval;
    if (b.state) orrery_spend_count(orrery_running_thread(b.state), k);
  }
}

// Where the limiter count of a new frame starts: 0, or what an overdraft
// took beyond the last frame's budget.
void start_limiter_count() {
  cpu_budget_t &b = g_budget;
  const int32_t carried = b.overdraft ? b.limiter_count - frame_budget() : 0;
  b.limiter_count = carried > 0 ? carried : 0;
  b.overdraft = b.limiter_count > 0;
}

// Mean of the non-zero history entries.
int32_t average_host_fps() {
  int64_t sum = 0;
  int32_t count = 0;
  for (int32_t v : g_budget.history) {
    sum += v;
    if (v != 0) count++;
  }
  return static_cast<int32_t>(sum / (count > 0 ? count : 1));
}

}  // namespace

const cpu_budget_t &cpu_budget() { return g_budget; }

void reset_cpu_budget() {
  // The draw time is the shell's measurement of the host, not a counter of
  // the budget: a reboot keeps it until the next draw measures again. The
  // state charged is the runner's, open across a reboot.
  cpu_budget_t fresh;
  fresh.state = g_budget.state;
  fresh.draw_ms = g_budget.draw_ms;
  g_budget = fresh;
  pstate.target_fps = fresh.wanted_fps;
}

void cpu_budget_set_draw_ms(uint32_t ms) { g_budget.draw_ms = ms; }

void reset_frame_rate_control() {
  // The rate the program asked for stays, and with it the state charged and
  // the draw time.
  cpu_budget_t fresh;
  fresh.state = g_budget.state;
  fresh.wanted_fps = g_budget.wanted_fps;
  fresh.draw_ms = g_budget.draw_ms;
  g_budget = fresh;
}

void cpu_charge_state(lua_State *L) { g_budget.state = L; }

void cpu_set_draw_ms(uint32_t ms) { g_budget.draw_ms = ms; }

int32_t current_fps() { return clamp_fps(pstate.target_fps); }

int32_t frame_budget() { return k_cycles_per_second / current_fps(); }

void set_fps(int32_t fps) {
  g_budget.wanted_fps = clamp_fps(fps);
  pstate.target_fps = g_budget.wanted_fps;
}

int32_t cycles_2_frame_capacity(int32_t c) {
  const int32_t wanted = g_budget.wanted_fps > 1 ? g_budget.wanted_fps : 1;
  return static_cast<int32_t>((static_cast<int64_t>(c) << 16) / (k_cycles_per_second / wanted));
}

void spend_cpu(int32_t n) {
  orrery_script_hook().cpu_charged(n, 0);
  if (!g_budget.state) return;
  if (n < 1) n = 1;
  add_to(g_budget.system_cycles, n);
  charge(n);
}

void refund_cpu(int32_t n) {
  orrery_script_hook().cpu_charged(n, 1);
  if (!g_budget.state) return;
  if (n > 0) add_to(g_budget.system_cycles, n);
  charge(n);
}

bool cpu_hook_tick() {
  cpu_count_instructions(k_hook_interval);
  return g_budget.limiter_count >= frame_budget();
}

void cpu_count_instructions(int32_t n) {
  add_to(g_budget.frame_cycles, n);
  add_to(g_budget.limiter_count, n);
}

void cpu_begin_slice() { g_budget.spend_remainder = 0; }

void cpu_end_frame() {
  start_limiter_count();
  g_budget.frame_cycles = 0;
  g_budget.system_cycles = 0;
}

void cpu_next_frame() { start_limiter_count(); }

void mark_cpu(int32_t i) {
  i = i < 0 ? 0 : i > 2 ? 2 : i;
  g_budget.mark_cycles[i] = g_budget.frame_cycles;
  g_budget.mark_ms[i] = vell_get_time();
}

void mark_frame_held() {
  g_budget.hold_frame = 1;
  g_budget.held_frame_seen = 1;
}

void release_held_frame() { g_budget.hold_frame = 0; }

void note_overdraft() { g_budget.overdraft = 1; }

void note_held_frame() {
  // Only the generated main loop holds every frame until flip; a program
  // that calls holdframe itself decides on its own when a frame is done.
  if (pstate.mainloop_kind == 2) g_budget.halving_request = 1;
}

void update_frame_rate() {
  cpu_budget_t &b = g_budget;
  const int32_t wanted = b.wanted_fps;
  const int32_t current = current_fps();

  memmove(b.history, b.history + 1, sizeof b.history - sizeof b.history[0]);
  b.history[k_fps_history - 1] = vell_get_fps();
  int32_t average = average_host_fps();

  // A frame too cheap or too quick to register between the marks counts
  // as free; only marks that run backwards (a program that placed them
  // itself) leave the frame unmeasured, which keeps the rate where it is.
  int32_t load = k_full_load;
  if (b.mark_cycles[2] >= b.mark_cycles[0]) {
    const int32_t per_frame = k_cycles_per_second / (wanted > 1 ? wanted : 1);
    b.previous_load = b.current_load;
    b.current_load = static_cast<int32_t>((static_cast<int64_t>(b.mark_cycles[2] - b.mark_cycles[0]) << 16) / per_frame);
    load = (b.previous_load != 0 && b.previous_load > b.current_load) ? b.previous_load : b.current_load;
  }

  const bool focus = vell_is_app_active() != 0;
  int32_t lag = k_unmeasured_lag;
  if (b.mark_ms[2] >= b.mark_ms[0]) {
    const int32_t draw = static_cast<int32_t>(g_budget.draw_ms);
    lag = (draw > 0 ? draw : 0) + static_cast<int32_t>(b.mark_ms[2] - b.mark_ms[0]) + b.penalty +
          (focus ? vell_config().foreground_sleep_ms : vell_config().background_sleep_ms);
  }
  if (orrery_config().host_framerate_control == 0) {
    average = 10000;
    lag = 0;
  }

  if (b.halving_request) {
    b.halving_request = 0;
    // A rate of 1 (which a program can ask for) stays 1: a rate of 0 would
    // run no frame again, and the program could never recover.
    if (current == wanted && current > 1) {
      pstate.target_fps = current / 2;
      return;
    }
  }

  const uint32_t now = vell_get_time();
  if (current == 60 && wanted == 60 && average < 58) {
    pstate.target_fps = 30;
    if (focus && now - b.last_drop_ms < k_quick_drop_ms && b.penalty < k_max_penalty) b.penalty++;
    b.last_drop_ms = now;
    return;
  }

  if (current < wanted && average >= wanted - 2 && (wanted == 30 || lag < 17) && load <= k_recovery_load)
    pstate.target_fps = wanted;
}
