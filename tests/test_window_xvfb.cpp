// Real windows on a virtual X display: the picture as a user would see it,
// checked from a screenshot of the whole screen.
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

// What run_on_display does once the program is ready: a screenshot as raw
// RGB into $1/shot.rgb, then the end by SIGTERM.
const char *k_shoot = "import -window root -depth 8 \"rgb:$1/shot.rgb\"; ";
const std::string k_shoot_and_end = std::string("sleep 0.5; ") + k_shoot + "kill -TERM $pid; wait $pid";

// Runs program with the window arguments (plus extra) on a fresh 800x600
// virtual display with a white root window, waits until ready_cmd succeeds,
// then runs the shell commands of after ($pid is the program, $1 the folder dir).
bool run_on_display(const std::string &program, const std::string &dir, const std::string &extra,
                    const std::string &ready_cmd, const std::string &after = k_shoot_and_end) {
  const std::string inner = "unset SDL_VIDEODRIVER; \"$0\" -home \"$1\" -windowed 1 -width 580 -height 540 " + extra +
                            " >\"$1/out.txt\" 2>&1 & pid=$!; i=0; until " + ready_cmd +
                            " || [ $i -ge 300 ]; do sleep 0.1; i=$((i+1)); done; " + after;
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
  // and finds the window in it: the bounding box of what is not the white
  // root window, of the given size unless that is 0. On a busy machine the
  // X server may not have shown the window yet when the screenshot is
  // taken, so a screen with no window at all is tried again, twice.
  void show(const std::string &program, const std::string &extra, const std::string &ready_cmd,
            const std::string &after = k_shoot_and_end, int w = 580, int h = 540) {
    int x0 = 800, y0 = 600, x1 = -1, y1 = -1;
    for (int attempt = 0; attempt < 3 && x1 < 0; attempt++) {
      ASSERT_TRUE(run_on_display(program, home.path, extra, ready_cmd, after))
          << read_file(home.path + "out.txt") << "\nlog:\n" << home.log();
      img.px = read_file(home.path + "shot.rgb");
      ASSERT_EQ(img.px.size(), 800u * 600 * 3);
      for (int i = 0; i < 800 * 600; i++)
        if (img.at(i % 800, i / 800) != 0xffffff) {
          x0 = std::min(x0, i % 800), y0 = std::min(y0, i / 800);
          x1 = std::max(x1, i % 800), y1 = std::max(y1, i / 800);
        }
    }
    wx = x0, wy = y0, ww = x1 - x0 + 1;
    EXPECT_EQ((std::vector<int>{w ? ww : 0, w ? y1 - y0 + 1 : 0}), (std::vector<int>{w, h})) << "window size";
  }

  // Page pixels of the screenshot in rows 0..rows-1 that differ from
  // expected (page RGB, row by row), the first five reported.
  int page_mismatches(const std::vector<uint32_t> &expected, int rows) {
    int wrong = 0;
    for (int i = 0; i < rows * 128; i++) {
      const uint32_t got = img.at(wx + 34 + 4 * (i % 128) + 1, wy + 14 + 4 * (i / 128) + 1);
      if (got != expected[i] && wrong++ < 5)
        ADD_FAILURE() << "page pixel " << i % 128 << "," << i / 128 << ": " << std::hex << got << " not "
                      << expected[i];
    }
    return wrong;
  }

  // A copy of orrery in a folder of its own; returns the program's path.
  static std::string program_copy(const temp_folder &dir) {
    std::filesystem::copy_file(ORRERY_BINARY, dir / "orrery");
    chmod((dir / "orrery").c_str(), 0755);
    return dir / "orrery";
  }

  // The page as the in-process console shows it on its back page, as RGB.
  static std::vector<uint32_t> back_page_rgb() {
    std::vector<uint32_t> out;
    const uint8_t *pal = vell_engine_palette();
    for (int i = 0; i < 128 * 128; i++) {
      const uint8_t *c = pal + 3 * vell_getpixel(vell_back_page(), i % 128, i / 128);
      out.push_back((uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2]);
    }
    return out;
  }

  temp_home home;
  rgb_image img;  // the screenshot
  int wx = 0, wy = 0, ww = 0;  // the window's top-left corner in it, and its width
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
    rig.iterate(0);
    expected = back_page_rgb();
  }
  EXPECT_GT(48 * 128 - std::count(expected.begin(), expected.begin() + 48 * 128, expected[0]), 300)
      << "logo and text are there to compare";
  // Without a head cartridge the boot picture stays once the boot has
  // reached frame 90 (about 3.5 s in), however slowly the machine started.
  temp_folder program;
  pod_without_carts(program);
  ASSERT_NO_FATAL_FAILURE(show(program_copy(program), "", "grep -q 'head cart not found' \"$1/log.txt\""));
  EXPECT_EQ(page_mismatches(expected, 48), 0);
}

TEST_F(WindowOnDisplay, WindowSizesPastTheDisplayAreShrunkAndSavedShrunk) {
  write_file(home.path + "config.txt", "window_size 100000 100000\n");
  ASSERT_NO_FATAL_FAILURE(show(ORRERY_BINARY, "-width 100000 -height 100000", "grep -q vell_sound_init \"$1/log.txt\"",
                               k_shoot_and_end, 0, 0));
  EXPECT_GT(ww, 100) << "a window is shown";
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
    ASSERT_EQ(paused_menu_open(), 1);
    expected = back_page_rgb();
  }
  temp_folder program;
  pod_with_head_cart(program, code);
  // Each button key is held until the console's log shows its effect, so
  // that a slow machine neither misses a press nor repeats it. Escape is
  // tapped: the console takes a tap however short, and a held Escape would
  // repeat.
  const std::string after =
      "log=\"$1/log.txt\"; "
      "seen() { i=0; until [ $(grep -c \"$1\" \"$log\") -ge $2 ] || [ $i -ge 200 ]; do sleep 0.05; i=$((i+1)); "
      "done; }; hold() { xdotool keydown $1; seen \"$2\" $3; xdotool keyup $1; sleep 0.2; }; "
      "sleep 0.5; xdotool mousemove 400 300; xdotool key Escape; seen 'pause menu: open' 1; sleep 0.5; " +
      std::string(k_shoot) +
      "hold Down 'pause menu: row 1' 1; hold x 'pause menu: chose ring bell' 1; i=0; "
      "until grep -q '^........002a0000' \"$1/cdata/menu_window.q7d.txt\" || [ $i -ge 100 ]; do sleep 0.1; "
      "i=$((i+1)); done; xdotool key Escape; seen 'pause menu: open' 2; "
      "hold Up 'pause menu: row 4' 1; hold x 'pause menu: chose quit' 1; "
      "i=0; while kill -0 $pid 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; "
      "if kill -0 $pid 2>/dev/null; then echo still running >\"$1/end.txt\"; kill -TERM $pid; wait $pid; "
      "else wait $pid; echo exit $? >\"$1/end.txt\"; fi";
  ASSERT_NO_FATAL_FAILURE(show(program_copy(program), "", "test -f \"$1/cdata/menu_window.q7d.txt\"", after));
  EXPECT_EQ(page_mismatches(expected, 128), 0);
  int menu_ink = 0;
  for (int i = 43 * 128; i < 86 * 128; i++) menu_ink += i % 128 >= 24 && i % 128 <= 104 && expected[i] != expected[0];
  EXPECT_GT(menu_ink, 100) << "the menu is in the compared picture";
  EXPECT_EQ(read_file(home.path + "end.txt"), "exit 0\n") << "quit ends the program by itself";
  const std::string data = read_file(home.path + "cdata/menu_window.q7d.txt");
  EXPECT_EQ(data.substr(8, 8), "002a0000") << "the cartridge ran its item's function: " << data;
  EXPECT_NE(read_file(home.path + "config.txt").find("button_keys "), std::string::npos);
}

TEST_F(WindowOnDisplay, EveryScreenLeadsBackAFileOnTheCommandLineRunsAndShortClicksCount) {
  if (!have("xdotool")) GTEST_SKIP() << "needs xdotool to press keys and click";
  // Named without -run, the file runs: it fails to compile. Fixed and
  // reloaded with Ctrl+R it counts mouse clicks into its data (each click's
  // press and release come within a frame) and fails on X.
  write_file(home.path + "game.q7", cart_file("function _update( end"));
  write_file(home.path + "fixed.q7",
             cart_file("poke(0x5f2d, 1) cartdata('clicks') n = 0 was = 0 "
                       "function _update() local b = band(stat(34), 1) "
                       "if b == 1 and was == 0 then n += 1 dset(0, n) end "
                       "was = b if btnp(5) then x = nil + 1 end end function _draw() cls(1) print(n, 60, 60, 7) end"));
  uint8_t box[2][3];  // colours 7 and 6, which the key configuration screen draws at the page's right edge
  {
    console_rig rig;
    memcpy(box[0], vell_engine_palette() + 3 * 7, 3);
    memcpy(box[1], vell_engine_palette() + 3 * 6, 3);
  }
  // Keys are tapped (the console takes a tap however short); each step
  // waits for the console's log to show its effect, and a moment more (a
  // slow machine's frames are long), so that the next tap is not taken
  // for the same press held on.
  const std::string after =
      "log=\"$1/log.txt\"; "
      "seen() { i=0; until [ $(grep -c \"$1\" \"$log\") -ge $2 ] || [ $i -ge 200 ]; do sleep 0.05; i=$((i+1)); "
      "done; }; tap() { xdotool key $1; seen \"$2\" $3; sleep 0.4; }; "
      "xdotool mousemove 400 300; sleep 0.3; cp \"$1/fixed.q7\" \"$1/game.q7\"; "
      "tap ctrl+r 'console: reload and run' 1; sleep 1; "
      "for k in 1 2 3; do xdotool mousedown 1 mouseup 1; sleep 0.3; done; "
      "i=0; until grep -q '^00030000' \"$1/cdata/clicks.q7d.txt\" || [ $i -ge 50 ]; do sleep 0.1; i=$((i+1)); done; "
      "tap Escape 'pause menu: open' 1; tap Down 'pause menu: row 1' 1; tap Down 'pause menu: row 2' 1; "
      "tap x 'pause menu: chose options' 1; tap Down 'pause menu: row 1' 2; tap x 'keyconfig: open' 1; sleep 0.5; " +
      std::string(k_shoot) +
      "tap Escape 'keyconfig: closed to sub-screen 0' 1; tap Escape 'pause menu: closed' 1; "
      "tap x 'console: text screen with an error' 2; tap Escape 'console: back to cartfind' 1; "
      "xdotool key Escape; sleep 0.5; xdotool key Down; sleep 0.5; tap x 'console: greeting' 1; "
      "tap x 'console: back to cartfind' 2; xdotool key Escape; sleep 0.5; xdotool key x; "
      "i=0; while kill -0 $pid 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; "
      "if kill -0 $pid 2>/dev/null; then echo still running >\"$1/end.txt\"; kill -TERM $pid; wait $pid; "
      "else wait $pid; echo exit $? >\"$1/end.txt\"; fi";
  ASSERT_NO_FATAL_FAILURE(show(ORRERY_BINARY, "\"$1/game.q7\"", "grep -q 'text screen with an error' \"$1/log.txt\"",
                               after));
  EXPECT_EQ(read_file(home.path + "end.txt"), "exit 0\n") << "shut down from the browser: " << home.log();
  EXPECT_EQ(read_file(home.path + "cdata/clicks.q7d.txt").substr(0, 8), "00030000") << "three short clicks";
  for (int i = 0; i < 2; i++) {
    const uint32_t want = uint32_t(box[i][0]) << 16 | uint32_t(box[i][1]) << 8 | box[i][2];
    const int y = i ? 123 : 3;
    EXPECT_EQ(img.at(wx + 34 + 4 * 118 + 1, wy + 14 + 4 * y + 1), want) << "key configuration over the game, row " << y;
  }
}

TEST_F(WindowOnDisplay, WatchModeRunsEachSavedVersionAndAnErrorWaitsForTheNextSave) {
  // Each version clears the screen to a colour of its own; the middle of
  // the virtual screen lies inside the page wherever the window is placed.
  auto version = [](int colour) { return cart_file("function _draw() cls(" + std::to_string(colour) + ") end"); };
  std::string hex[16];
  {
    console_rig rig;
    for (int c = 0; c < 16; c++) {
      char text[8];
      const uint8_t *rgb = vell_engine_palette() + 3 * c;
      snprintf(text, sizeof text, "#%02X%02X%02X", rgb[0], rgb[1], rgb[2]);
      hex[c] = text;
    }
  }
  write_file(home.path + "game.q7", version(8));
  write_file(home.path + "v2.q7", version(11));
  write_file(home.path + "v3.q7", version(12));
  write_file(home.path + "bad.q7", cart_file("function _draw( cls(2) end"));
  write_file(home.path + "v4.q7", version(9));
  write_file(home.path + "v5.q7", version(10));
  // see NAME COLOUR LIMIT: polls the page's middle until it shows COLOUR
  // or LIMIT ms have passed since t0 (set just before the file was
  // written), then notes the colour last seen under NAME.
  const std::string after =
      "d=\"$1\"; log=\"$d/log.txt\"; ms() { echo $(( $(date +%s%N) / 1000000 )); }; "
      "px() { import -window root -crop 1x1+400+300 -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\\{6\\}' | "
      "head -n 1; }; "
      "see() { until c=$(px); [ \"$c\" = \"$2\" ] || [ $(( $(ms) - t0 )) -gt $3 ]; do sleep 0.05; done; "
      "echo \"$1 $c\" >>\"$d/steps.txt\"; }; "
      "logged() { until grep -q \"$2\" \"$log\" || [ $(( $(ms) - t0 )) -gt 1000 ]; do sleep 0.05; done; "
      "grep -q \"$2\" \"$log\" && echo \"$1 logged\" >>\"$d/steps.txt\"; }; "
      "t0=$(ms); see started '" + hex[8] + "' 30000; sleep 0.3; "
      "t0=$(ms); cp \"$d/v2.q7\" \"$d/new.tmp\"; mv \"$d/new.tmp\" \"$d/game.q7\"; see renamed '" + hex[11] + "' 1000; "
      "sleep 0.3; t0=$(ms); cp \"$d/v3.q7\" \"$d/game.q7\"; see in_place '" + hex[12] + "' 1000; "
      "sleep 0.3; t0=$(ms); cp \"$d/bad.q7\" \"$d/new.tmp\"; mv \"$d/new.tmp\" \"$d/game.q7\"; "
      "logged syntax 'text screen with an error'; "
      "sleep 0.3; t0=$(ms); cp \"$d/v4.q7\" \"$d/game.q7\"; see recovered '" + hex[9] + "' 1000; "
      "sleep 0.3; t0=$(ms); : >\"$d/game.q7\"; logged half_written 'did not load'; sleep 0.3; "
      "echo \"kept $(px)\" >>\"$d/steps.txt\"; "
      "t0=$(ms); cp \"$d/v5.q7\" \"$d/game.q7\"; see completed '" + hex[10] + "' 1000; " +
      k_shoot + "kill -TERM $pid; wait $pid";
  ASSERT_NO_FATAL_FAILURE(
      show(ORRERY_BINARY, "-run \"$1\"game.q7 -watch", "grep -q 'watch: armed' \"$1/log.txt\"", after));
  const std::string want = "started " + hex[8] + "\nrenamed " + hex[11] + "\nin_place " + hex[12] +
                           "\nsyntax logged\nrecovered " + hex[9] + "\nhalf_written logged\nkept " + hex[9] +
                           "\ncompleted " + hex[10] + "\n";
  EXPECT_EQ(read_file(home.path + "steps.txt"), want) << home.log();
  const std::string log = home.log();
  EXPECT_NE(log.find("watch: armed on " + home.path + "game.q7\n"), std::string::npos) << log;
  EXPECT_NE(log.find("watch: reloaded " + home.path + "game.q7; running it\n"), std::string::npos) << log;
}
