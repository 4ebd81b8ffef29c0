// Figures for capture: CPU time to encode a 10-second recording at scale 2
// (the head cartridge's frames, and noise as the encoder's worst case), to
// save a screenshot at the default scale, and the longest main-loop iteration at 60 Hz while a recording is saved in
// the background, against the same loop without a save and against saving
// in the loop itself.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "gfx/bitmap.h"
#include "capture/capture.h"
#include "capture/gif_encode.h"
#include "capture/video_clip.h"
#include "machine/pstate.h"
#include "platform/system.h"
#include "platform/backends.h"
#include "machine/app_config.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/hooks.h"
#include "shell/main_loop.h"
#include "shell/message_bar.h"
#include "platform/paths.h"

namespace {

constexpr int k_frames = 300;  // 10 seconds at 30 frames a second

uint32_t g_now = 1000;
uint32_t bench_clock() { return g_now; }

double thread_cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

void encode_figure(const char *what, const std::vector<clip_frame_ref> &frames) {
  std::string gif;
  const double c0 = thread_cpu_seconds();
  encode_gif(frames, 2, vell_engine_palette(), &gif);
  printf("encode %d frames at scale 2, %-13s %6.3f s CPU  (%zu KB)\n", k_frames, what, thread_cpu_seconds() - c0,
         gif.size() / 1024);
}

// Runs the loop for about ms of real time at 60 iterations a second, saving
// the recording at the start in the way given; returns the longest
// iteration in ms (the save's start included).
double longest_iteration(int ms, int (*save)()) {
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  double longest = 0;
  for (int i = 0; clock::now() - start < std::chrono::milliseconds(ms); i++) {
    const auto t0 = clock::now();
    if (i == 0 && save) save();
    g_now += 17;
    vell_main_iteration();
    longest = std::max(longest, std::chrono::duration<double, std::milli>(clock::now() - t0).count());
    std::this_thread::sleep_until(t0 + std::chrono::microseconds(16667));
  }
  return longest;
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "orrery-bench-capture";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "desktop");
  {
    vell_clock_source clock = vell_backends.clock;  // keeps real sleeping
    clock.now_ms = bench_clock;
    vell_clock_source_use(&clock);
  }
  vell_set_program_folder(std::filesystem::path(ORRERY_BINARY).parent_path().string());
  const std::string head = std::string(ORRERY_SOURCE_DIR) + "/assets/head.q7";
  const std::vector<std::string> args = {"orrery", "-home", home.string() + "/", "-desktop",
                                         (home / "desktop").string() + "/", "-foreground_sleep_ms", "0",
                                         "-gif_len", "11", "-x", head};
  std::vector<const char *> argv;
  for (const std::string &a : args) argv.push_back(a.c_str());
  orrery_install_hooks();
  vell_main_init(static_cast<int>(argv.size()), argv.data());

  // Ten seconds of the head cartridge, kept aside and in the recording.
  std::vector<clip_frame_ref> frames;
  g_now += 34;
  vell_main_iteration();
  reset_video();
  while (recorded_frame_count() < k_frames) {
    g_now += 34;
    vell_main_iteration();
    auto f = std::make_shared<clip_frame>();
    memcpy(f->data(), orrery_state.video_frame->data, f->size());
    frames.push_back(f);
  }
  encode_figure("head cart", frames);
  std::vector<clip_frame_ref> noise;
  srand(7);
  for (int i = 0; i < k_frames; i++) {
    auto f = std::make_shared<clip_frame>();
    for (uint8_t &p : *f) p = static_cast<uint8_t>(rand() % 16);
    noise.push_back(f);
  }
  encode_figure("noise", noise);

  const int shots = 20;
  double c0 = thread_cpu_seconds();
  for (int i = 0; i < shots; i++) save_png_screenshot(orrery_state.video_frame);
  printf("screenshot at scale 3, saved in the loop    %6.2f ms CPU each\n", (thread_cpu_seconds() - c0) * 1000 / shots);

  printf("longest loop iteration at 60 Hz, 2 s each:\n");
  printf("  without saving                     %6.2f ms\n", longest_iteration(2000, nullptr));
  printf("  saving in a worker (start_gif_save) %6.2f ms\n", longest_iteration(2000, start_gif_save));
  printf("    (the loop's message after it: \"%s\")\n", message_bar_state().text);
  finish_gif_save();
  poll_gif_save();
  printf("  saving in the loop (save_gif)       %6.2f ms\n", longest_iteration(2000, save_gif));

  vell_main_exit();
  vell_clock_source_use(nullptr);
  std::filesystem::remove_all(home);
  return 0;
}
