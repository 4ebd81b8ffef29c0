// Real windows on a virtual X display: the picture as a user would see it,
// checked from a screenshot of the whole screen.
#include <gtest/gtest.h>
#include <png.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/pstate.h"
#include "platform/video.h"
#include "shell/console.h"
#include "support/cart_support.h"
#include "support/runner_rig.h"
#include "support/temp_home.h"

namespace {

struct rgb_image {
  int w = 0, h = 0;
  std::vector<uint8_t> px;  // 3 bytes a pixel
  uint32_t at(int x, int y) const {
    const uint8_t *p = &px[(static_cast<size_t>(y) * w + x) * 3];
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
};

bool load_png(const std::string &path, rgb_image *img) {
  png_image pi = {};
  pi.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&pi, path.c_str())) return false;
  pi.format = PNG_FORMAT_RGB;
  img->w = static_cast<int>(pi.width);
  img->h = static_cast<int>(pi.height);
  img->px.resize(PNG_IMAGE_SIZE(pi));
  return png_image_finish_read(&pi, nullptr, img->px.data(), 0, nullptr) != 0;
}

bool have(const char *tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// What run_on_display does once the program is ready: a screenshot, then
// the end by SIGTERM.
const char *k_shoot_and_end = "sleep 0.5; import -window root \"$1/shot.png\"; kill -TERM $pid; wait $pid";

// Runs program with the window arguments (plus extra) on a fresh 800x600
// virtual display with a white root window, waits until ready_cmd succeeds,
// then runs the shell commands of after ($pid is the program, $1 the
// folder dir; the default takes a screenshot into dir/shot.png and ends the
// program with SIGTERM).
bool run_on_display(const std::string &program, const std::string &dir, const std::string &extra,
                    const std::string &ready_cmd, const std::string &after = k_shoot_and_end) {
  const std::string inner =
      "unset SDL_VIDEODRIVER; \"$0\" -home \"$1\" -windowed 1 -width 580 -height 540 " + extra +
      " >\"$1/out.txt\" 2>&1 & pid=$!; i=0; until " + ready_cmd +
      " || [ $i -ge 300 ]; do sleep 0.1; i=$((i+1)); done; " + after;
  std::string quoted;
  for (char c : inner) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  const std::string full = "timeout 90 xvfb-run -a -s '-screen 0 800x600x24 -wr' sh -c '" + quoted + "' '" +
                           program + "' '" + dir + "'";
  return std::system(full.c_str()) == 0;
}

// The bounding box of pixels that are not the white root window.
void window_box(const rgb_image &img, int *x0, int *y0, int *x1, int *y1) {
  *x0 = img.w;
  *y0 = img.h;
  *x1 = *y1 = -1;
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++)
      if (img.at(x, y) != 0xffffff) {
        if (x < *x0) *x0 = x;
        if (y < *y0) *y0 = y;
        if (x > *x1) *x1 = x;
        if (y > *y1) *y1 = y;
      }
}

constexpr uint32_t k_pattern[4] = {0xff0000, 0x00ff00, 0x0000ff, 0xffff00};

// Checks the test picture of the pattern tool: 4x enlarged at (34, 14) in
// the window, black around it.
void expect_pattern(const rgb_image &img, int wx, int wy) {
  int wrong = 0;
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++)
      for (int d = 0; d < 16; d++) {
        const uint32_t got = img.at(wx + 34 + x * 4 + d % 4, wy + 14 + y * 4 + d / 4);
        if (got != k_pattern[(x + 2 * y) % 4] && wrong++ < 5)
          ADD_FAILURE() << "page pixel " << x << "," << y << " sub " << d << ": " << std::hex << got;
      }
  EXPECT_EQ(wrong, 0);
  for (int i = 0; i < 540; i += 7) {
    EXPECT_EQ(img.at(wx + 33, wy + i), 0u) << "left margin, row " << i;
    EXPECT_EQ(img.at(wx + 546, wy + i), 0u) << "right margin, row " << i;
  }
  for (int i = 0; i < 580; i += 7) {
    EXPECT_EQ(img.at(wx + i, wy + 13), 0u) << "top margin, column " << i;
    EXPECT_EQ(img.at(wx + i, wy + 526), 0u) << "bottom margin, column " << i;
  }
}

std::string pattern_tool() { return std::string(ORRERY_BUILD_DIR) + "/pattern_window"; }
const char *k_ready = "grep -q ready \"$1/out.txt\"";

}  // namespace

class WindowOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have("xvfb-run") || !have("import")) GTEST_SKIP() << "needs xvfb-run and ImageMagick's import";
  }

  // Runs program with the window arguments plus extra, takes the screenshot
  // and finds the 580x540 window in it.
  void show(const std::string &program, const std::string &extra, const std::string &ready_cmd,
            const std::string &after = k_shoot_and_end) {
    ASSERT_TRUE(run_on_display(program, home.path, extra, ready_cmd, after)) << read_file(home.path + "out.txt");
    ASSERT_TRUE(load_png(home.path + "shot.png", &img));
    int x1, y1;
    window_box(img, &wx, &wy, &x1, &y1);
    EXPECT_EQ(x1 - wx + 1, 580);
    EXPECT_EQ(y1 - wy + 1, 540);
  }

  temp_home home;
  rgb_image img;  // the screenshot
  int wx = 0;     // the window's top-left corner in it
  int wy = 0;
};

TEST_F(WindowOnDisplay, PictureIsTheBackPageFourTimesEnlargedAt34And14) {
  ASSERT_NO_FATAL_FAILURE(show(pattern_tool(), "", k_ready));
  expect_pattern(img, wx, wy);
  const std::string log = read_file(home.path + "log.txt");
  EXPECT_NE(log.find("vell_set_screen 128 128 8 100\n set pixel_perfect 1\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("dropping down to software_blit"), std::string::npos);
}

TEST_F(WindowOnDisplay, SoftwarePathShowsTheSamePicture) {
  ASSERT_NO_FATAL_FAILURE(show(pattern_tool(), "-software_blit 1", k_ready));
  expect_pattern(img, wx, wy);
}

TEST_F(WindowOnDisplay, FrameRateOverlayIsDrawnInTheWindowCorner) {
  ASSERT_NO_FATAL_FAILURE(show(pattern_tool(), "-show_fps 1", k_ready));
  int grey = 0, other = 0;
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 128; x++) {
      const uint32_t c = img.at(wx + x, wy + y);
      if (c == 0xc0c0c0) grey++;
      else if (c != 0) other++;
    }
  EXPECT_GT(grey, 20) << "light grey figures";
  EXPECT_EQ(other, 0) << "on black";
  expect_pattern(img, wx, wy);
}

TEST_F(WindowOnDisplay, ConsoleOpensItsWindowAndCreatesTheControllerFile) {
  // The sound system starts after the window has been made and shown.
  ASSERT_NO_FATAL_FAILURE(show(ORRERY_BINARY, "", "grep -q vell_sound_init \"$1/log.txt\""));
  const std::string log = read_file(home.path + "log.txt");
  EXPECT_NE(log.find("vell_set_screen 128 128 8 100\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" set pixel_perfect 1\n"), std::string::npos);
  EXPECT_NE(log.find("vell_config_save"), std::string::npos) << "SIGTERM ends through the exit sequence";
  EXPECT_EQ(read_file(home.path + "sdl_controllers.txt"), "// add SDL2 game controller mappings to this file\n");
}

TEST_F(WindowOnDisplay, BootShowsTheLogoAndTheBootTextAsTheConsoleDrewThem) {
  // The same boot in-process with an injected clock gives the expected
  // picture: rows 0-47 hold the logo and the boot text from frame 50 on.
  std::vector<uint32_t> expected;
  {
    console_rig rig;
    while (pstate.frame_counter <= 60) rig.frame();
    const uint8_t *pal = vell_engine_palette();
    for (int y = 0; y < 48; y++)
      for (int x = 0; x < 128; x++) {
        const uint8_t *c = pal + 3 * pstate.screen->line[y][x];
        expected.push_back((uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2]);
      }
  }
  // Without a head cartridge the boot picture stays once the boot has
  // reached frame 90 (about 3.5 s in), however slowly the machine started.
  temp_folder program;
  std::filesystem::copy_file(ORRERY_BINARY, program / "orrery");
  chmod((program / "orrery").c_str(), 0755);
  pod_without_carts(program);
  ASSERT_NO_FATAL_FAILURE(show(program / "orrery", "", "grep -q 'head cart not found' \"$1/log.txt\""));
  int wrong = 0, lit = 0;
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 128; x++) {
      const uint32_t want = expected[static_cast<size_t>(y) * 128 + x];
      const uint32_t got = img.at(wx + 34 + 4 * x + 1, wy + 14 + 4 * y + 1);
      lit += want != 0;
      if (got != want && wrong++ < 5)
        ADD_FAILURE() << "screen pixel " << x << "," << y << ": " << std::hex << got << " not " << want;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(lit, 300) << "logo and text are there to compare";
}

TEST_F(WindowOnDisplay, WindowSizesPastTheDisplayAreShrunkAndSavedShrunk) {
  write_file(home.path + "config.txt", "window_size 100000 100000\n");
  ASSERT_TRUE(run_on_display(ORRERY_BINARY, home.path, "-width 100000 -height 100000",
                             "grep -q vell_sound_init \"$1/log.txt\""))
      << read_file(home.path + "out.txt");
  ASSERT_TRUE(load_png(home.path + "shot.png", &img));
  int x1, y1;
  window_box(img, &wx, &wy, &x1, &y1);
  EXPECT_GT(x1 - wx, 100) << "a window is shown";
  const std::string config = read_file(home.path + "config.txt");
  int w = 0, h = 0;
  const size_t at = config.find("window_size ");
  ASSERT_NE(at, std::string::npos) << config;
  ASSERT_EQ(sscanf(config.c_str() + at, "window_size %d %d", &w, &h), 2);
  EXPECT_TRUE(w >= 32 && w <= 800 && h >= 32 && h <= 600) << w << " x " << h;
}

TEST_F(WindowOnDisplay, PauseMenuShowsOverTheCartridgeAndTheKeyboardChoosesItsItemsAndQuits) {
  if (!have("xdotool")) GTEST_SKIP() << "needs xdotool to press keys";
  // The cartridge counts its frames into its data (so the file shows that
  // it runs), and its menu item leaves 42 there.
  const std::string code =
      "cartdata('menu_window') menuitem(1, 'ring bell', function() dset(1, 42) end) "
      "function _update() dset(0, dget(0) + 1) end "
      "function _draw() cls(3) rectfill(10, 10, 117, 117, 9) circfill(64, 64, 30, 8) print('game', 56, 100, 7) end";

  // The same picture drawn in-process: the page after Escape.
  std::vector<uint32_t> expected;
  {
    runner_rig rig;
    rig.run(code);
    for (int i = 0; i < 3; i++) rig.frame();
    rig.tap({41});
    ASSERT_EQ(orrery_state.pause_menu_open, 1);
    const uint8_t *pal = vell_engine_palette();
    for (int y = 0; y < 128; y++)
      for (int x = 0; x < 128; x++) {
        const uint8_t *c = pal + 3 * vell_getpixel(vell_back_page(), x, y);
        expected.push_back((uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2]);
      }
  }

  temp_folder program;
  std::filesystem::copy_file(ORRERY_BINARY, program / "orrery");
  chmod((program / "orrery").c_str(), 0755);
  pod_with_head_cart(program, code);
  // Each button key is held until the console's log shows its effect, so
  // that a slow machine neither misses a press nor repeats it. Escape is
  // tapped: the console takes a tap however short, and a held Escape would
  // repeat.
  const std::string after =
      "log=\"$1/log.txt\"; "
      "seen() { i=0; until [ $(grep -c \"$1\" \"$log\") -ge $2 ] || [ $i -ge 200 ]; do sleep 0.05; i=$((i+1)); done; }; "
      "hold() { xdotool keydown $1; seen \"$2\" $3; xdotool keyup $1; sleep 0.2; }; "
      "sleep 0.5; xdotool mousemove 400 300; xdotool key Escape; seen 'pause menu: open' 1; sleep 0.5; "
      "import -window root \"$1/shot.png\"; "
      "hold Down 'pause menu: row 1' 1; hold x 'pause menu: chose ring bell' 1; "
      "i=0; until grep -q '^........002a0000' \"$1/cdata/menu_window.q7d.txt\" || [ $i -ge 100 ]; do sleep 0.1; "
      "i=$((i+1)); done; "
      "xdotool key Escape; seen 'pause menu: open' 2; hold Up 'pause menu: row 3' 1; hold x 'pause menu: chose quit' 1; "
      "i=0; while kill -0 $pid 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; "
      "if kill -0 $pid 2>/dev/null; then echo still running >\"$1/end.txt\"; kill -TERM $pid; wait $pid; "
      "else wait $pid; echo exit $? >\"$1/end.txt\"; fi";
  ASSERT_NO_FATAL_FAILURE(
      show(program / "orrery", "", "test -f \"$1/cdata/menu_window.q7d.txt\"", after));

  int wrong = 0, menu_ink = 0;
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) {
      const uint32_t want = expected[static_cast<size_t>(y) * 128 + x];
      const uint32_t got = img.at(wx + 34 + 4 * x + 1, wy + 14 + 4 * y + 1);
      if (y >= 43 && y <= 85 && x >= 24 && x <= 104) menu_ink += want != expected[0];
      if (got != want && wrong++ < 5)
        ADD_FAILURE() << "page pixel " << x << "," << y << ": " << std::hex << got << " not " << want;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(menu_ink, 100) << "the menu is in the compared picture";

  EXPECT_EQ(read_file(home.path + "end.txt"), "exit 0\n") << "quit ends the program by itself";
  const std::string data = read_file(home.path + "cdata/menu_window.q7d.txt");
  EXPECT_EQ(data.substr(8, 8), "002a0000") << "the cartridge ran its item's function: " << data;
  EXPECT_NE(read_file(home.path + "config.txt").find("button_keys "), std::string::npos);
}
