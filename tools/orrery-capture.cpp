// orrery-capture: runs a cartridge headless, as fast as it can go, and
// writes what its screen showed through the console's own capture code.
//
//   orrery-capture CART OUT.png SECONDS [console options]
//   orrery-capture CART OUT.gif SECONDS [console options]
//
// A PNG shows the screen after SECONDS of the cartridge's frames; a GIF
// holds its first SECONDS, 30 frames a second. Options such as
// -screenshot_scale, -gif_scale or -p are passed to the console. Without
// -home the console runs in a temporary home folder, removed afterwards,
// so that capturing leaves the user's configuration and data alone.

#include <ftw.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "browser/browser_hooks.h"
#include "capture/capture.h"
#include "capture/capture_hooks.h"
#include "capture/video_clip.h"
#include "machine/pstate.h"
#include "platform/system.h"
#include "platform/backends.h"
#include "machine/app_config.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/hooks.h"
#include "shell/main_loop.h"

namespace {

enum {
  CAPTURE_OK = 0,
  CAPTURE_USAGE = 1,         // the command line is not as above (also: the cartridge cannot be loaded)
  CAPTURE_WRITE_FAILED = 2,  // the picture could not be written
};

constexpr double k_max_png_seconds = 3600;
// A GIF's frames must fit the recording, which keeps at most 3599.
constexpr double k_max_gif_seconds = (k_clip_max_frames - 1) / double(k_clip_fps);

uint32_t g_now = 1000;  // the console's clock, moved by the loop below
uint32_t clock_now() { return g_now; }

std::string g_temp_home;  // the temporary home folder, "" when -home was given

int remove_entry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }
// Also run when the console ends the process itself (a cartridge that
// cannot be loaded).
void remove_temp_home() {
  if (!g_temp_home.empty()) nftw(g_temp_home.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

bool ends_with(const std::string &s, const char *suffix) {
  const size_t n = strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; i++)
    if (tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  return true;
}

int usage() {
  fprintf(stderr, "usage: orrery-capture CART OUT.png|OUT.gif SECONDS [console options]\n");
  return CAPTURE_USAGE;
}

// One loop iteration a little more than a frame's time on, so that every
// iteration runs one logical frame without waiting for a real clock.
void step() {
  g_now += 1000 / static_cast<uint32_t>(pstate.target_fps > 0 ? pstate.target_fps : 30) + 1;
  vell_main_iteration();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) return usage();
  const std::string cart = argv[1];
  const std::string out = argv[2];
  const bool gif = ends_with(out, ".gif");
  char *end = nullptr;
  const double seconds = strtod(argv[3], &end);
  if (end == argv[3] || *end || !(ends_with(out, ".png") || gif) ||
      !(seconds > 0 && seconds <= (gif ? k_max_gif_seconds : k_max_png_seconds)))
    return usage();

  std::vector<std::string> args = {"orrery-capture", "-foreground_sleep_ms", "0", "-background_sleep_ms", "0"};
  bool own_home = true;
  for (int i = 4; i < argc; i++) {
    own_home = own_home && strcmp(argv[i], "-home") != 0;
    args.push_back(argv[i]);
  }
  if (own_home) {
    char tmpl[] = "/tmp/orrery-capture-XXXXXX";
    if (!mkdtemp(tmpl)) {
      perror("orrery-capture: temporary home folder");
      return CAPTURE_WRITE_FAILED;
    }
    g_temp_home = tmpl;
    atexit(remove_temp_home);
    args.insert(args.begin() + 1, {"-home", g_temp_home + "/"});
  }
  args.insert(args.end(), {"-x", cart});

  {
    vell_clock_source clock = vell_backends.clock;  // keeps real sleeping
    clock.now_ms = clock_now;
    vell_clock_source_use(&clock);
  }
  orrery_hook_tables hooks;
  orrery_browser_entry_points(hooks);
  orrery_capture_entry_points(hooks);
  orrery_install_hooks(hooks);
  std::vector<const char *> argv2;
  for (const std::string &a : args) argv2.push_back(a.c_str());
  vell_main_init(static_cast<int>(argv2.size()), argv2.data());
  if (gif) orrery_config_set(&orrery_config_t::gif_len, static_cast<int32_t>(std::ceil(seconds)) + 1);

  // The first iteration starts the program; what was recorded before its
  // first picture is dropped.
  const int32_t start_frame = pstate.frame_counter;
  step();
  reset_video();
  const int64_t want = std::llround(seconds * (gif ? k_clip_fps : pstate.target_fps));
  auto done = [&] {
    return gif ? recorded_frame_count() >= want : pstate.frame_counter - start_frame >= want;
  };
  while (!vell_state.quit && !done()) step();
  if (!done()) fprintf(stderr, "orrery-capture: the cartridge ended early\n");

  const int written = gif ? write_gif(out.c_str()) : write_png_screenshot(orrery_state.video_frame, out.c_str());
  if (written != 0) fprintf(stderr, "orrery-capture: could not write %s\n", out.c_str());
  vell_main_exit();
  vell_clock_source_use(nullptr);
  return written == 0 ? CAPTURE_OK : CAPTURE_WRITE_FAILED;
}
