// Real windows on a virtual X display: the picture as a user would see it,
// checked from a screenshot of the whole screen.
#include <sys/stat.h>

#include "support/test.h"

namespace {

// A screenshot of the 800x600 virtual screen, 3 bytes a pixel.
struct rgb_image {
  std::string px;
  uint32_t at(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * 800 + x) * 3;
    return i + 2 < px.size() ? uint32_t(uint8_t(px[i])) << 16 | uint32_t(uint8_t(px[i + 1])) << 8 | uint8_t(px[i + 2])
                             : 0xffffffu;
  }
};

bool have(const char *tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs program with the window arguments (plus extra) on a fresh 800x600
// virtual display with a white root window, waits until ready_cmd succeeds,
// takes a screenshot as raw RGB into dir/shot.rgb and ends the program with SIGTERM.
bool run_on_display(const std::string &program, const std::string &dir, const std::string &extra,
                    const std::string &ready_cmd) {
  const std::string inner = "unset SDL_VIDEODRIVER; \"$0\" -home \"$1\" -windowed 1 -width 580 -height 540 " + extra +
                            " >\"$1/out.txt\" 2>&1 & pid=$!; i=0; until " + ready_cmd +
                            " || [ $i -ge 300 ]; do sleep 0.1; i=$((i+1)); done; sleep 0.5; import -window root -depth "
                            "8 \"rgb:$1/shot.rgb\"; "
                            "kill -TERM $pid; wait $pid";
  std::string quoted;
  for (char c : inner) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  const std::string full =
      "timeout 90 xvfb-run -a -s '-screen 0 800x600x24 -wr' sh -c '" + quoted + "' '" + program + "' '" + dir + "'";
  return std::system(full.c_str()) == 0;
}

constexpr uint32_t k_pattern[4] = {0xff0000, 0x00ff00, 0x0000ff, 0xffff00};

// Checks the test picture of the pattern tool: 4x enlarged at (34, 14) in
// the window, black around it; with the overlay, light grey figures on
// black in the window's top left corner.
void expect_pattern(const rgb_image &img, int wx, int wy, bool overlay) {
  int grey = 0, other = 0;
  for (int i = 0; overlay && i < 8 * 128; i++) {
    const uint32_t c = img.at(wx + i % 128, wy + i / 128);
    grey += c == 0xc0c0c0;
    other += c != 0xc0c0c0 && c != 0;
  }
  EXPECT_TRUE(!overlay || (grey > 20 && other == 0)) << grey << " grey, " << other << " other";
  int wrong = 0;
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++)
      for (int d = 0; d < 16; d++) {
        const uint32_t got = img.at(wx + 34 + x * 4 + d % 4, wy + 14 + y * 4 + d / 4);
        if (got != k_pattern[(x + 2 * y) % 4] && wrong++ < 5)
          ADD_FAILURE() << "page pixel " << x << "," << y << " sub " << d << ": " << std::hex << got;
      }
  EXPECT_EQ(wrong, 0);
  for (int i = 0; i < 580; i += 7) {
    EXPECT_EQ(img.at(wx + 33, wy + i % 540) | img.at(wx + 546, wy + i % 540), 0u) << "side margins, row " << i % 540;
    EXPECT_EQ(img.at(wx + i, wy + 13) | img.at(wx + i, wy + 526), 0u) << "top and bottom margins, column " << i;
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
  void show(const std::string &program, const std::string &extra, const std::string &ready_cmd) {
    ASSERT_TRUE(run_on_display(program, home.path, extra, ready_cmd)) << read_file(home.path + "out.txt");
    img.px = read_file(home.path + "shot.rgb");
    ASSERT_EQ(img.px.size(), 800u * 600 * 3);
    // The window is the bounding box of what is not the white root window.
    int x0 = 800, y0 = 600, x1 = -1, y1 = -1;
    for (int i = 0; i < 800 * 600; i++)
      if (img.at(i % 800, i / 800) != 0xffffff) {
        x0 = std::min(x0, i % 800), y0 = std::min(y0, i / 800), x1 = std::max(x1, i % 800), y1 = std::max(y1, i / 800);
      }
    wx = x0;
    wy = y0;
    EXPECT_EQ((std::vector<int>{x1 - x0 + 1, y1 - y0 + 1}), (std::vector<int>{580, 540}));
  }

  temp_home home;
  rgb_image img;  // the screenshot
  int wx = 0;     // the window's top-left corner in it
  int wy = 0;
};

TEST_F(WindowOnDisplay, PictureIsTheBackPageFourTimesEnlargedOnBothPathsWithTheFrameRateOverlay) {
  for (const char *extra : {"", "-software_blit 1", "-show_fps 1"}) {
    ASSERT_NO_FATAL_FAILURE(show(pattern_tool(), extra, k_ready));
    expect_pattern(img, wx, wy, std::string(extra).find("fps") != std::string::npos);
    const std::string log = read_file(home.path + "log.txt");
    EXPECT_NE(log.find("vell_set_screen 128 128 8 100\n set pixel_perfect 1\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("dropping down to software_blit"), std::string::npos) << extra;
  }
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
