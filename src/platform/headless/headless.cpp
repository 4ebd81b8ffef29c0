#include "platform/headless/headless.h"

#include <time.h>

#include <cerrno>

namespace {

struct headless_clock_state {
  int64_t start_ns = 0;  // monotonic time of the last restart, ns
};

headless_clock_state g_hc;

int64_t monotonic_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

uint32_t now_ms() { return static_cast<uint32_t>((monotonic_ns() - g_hc.start_ns) / 1000000); }

void restart() { g_hc.start_ns = monotonic_ns(); }

void sleep_ms(uint32_t ms) {
  timespec t = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

// Nothing to show, no keys, no controllers, no device, no desktop clipboard:
// every slot of these keeps its default.
constexpr vell_video_out k_video = {};
constexpr vell_input_devices k_input = {};
constexpr vell_audio_out k_audio = {};
constexpr vell_clipboard_store k_clipboard = {};
constexpr vell_clock_source k_clock = {now_ms, restart, sleep_ms, nullptr};

}  // namespace

const vell_video_out *vell_headless_video() { return &k_video; }
const vell_input_devices *vell_headless_input() { return &k_input; }
const vell_audio_out *vell_headless_audio() { return &k_audio; }
const vell_clipboard_store *vell_headless_clipboard() { return &k_clipboard; }
const vell_clock_source *vell_headless_clock() { return &k_clock; }
