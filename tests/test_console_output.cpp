// Console output: wrapping, scrolling and its CPU charge, empty lines, the
// prompt, exec-mode output and the paged folder listing.
#include "support/test.h"

namespace {

int64_t g_charged = 0;

// The console after start-up, at the console with a clear screen and the
// cursor at the top; CPU charges are counted.
struct output_rig : console_rig {
  output_rig() {
    pstate.mode = MODE_CONSOLE;
    vell_rectfill(pstate.screen, 0, 0, 127, 127, 0);
    pstate.cursor_x = pstate.cursor_y = 0;
    g_charged = 0;
    watch_cpu_charges([](int32_t n, int) { g_charged += n; });
  }
  ~output_rig() { watch_cpu_charges(nullptr); }
};

bool rows_clear(int32_t y0, int32_t y1) {
  return std::all_of(pstate.screen->data + y0 * 128, pstate.screen->data + (y1 + 1) * 128,
                     [](uint8_t v) { return v == 0; });
}

// Everything the listing prints in exec mode until it is done, line by line.
std::vector<std::string> listing(const char *pattern) {
  testing::internal::CaptureStdout();
  orrery_start_listing(pattern);
  for (int steps = 0; orrery_listing_lines() > 0 && steps < 100; steps++) orrery_list_files();
  std::istringstream in(testing::internal::GetCapturedStdout());
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

TEST(ConsoleOutput, LinesWrapAt32AndScrollOnceALineFromTheTwentyFirstAtAFrameEach) {
  output_rig rig;
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz0123";  // 40 characters
  orrery_print(text.c_str());
  EXPECT_TRUE(screen_line_is(text.substr(0, 32).c_str(), 0) && screen_line_is(text.substr(32).c_str(), 6));
  EXPECT_EQ(pstate.cursor_y, 12);
  for (int i = 3; i <= 25; i++) {
    orrery_print_2_col(7, "line %d of %d", i, 25);
    EXPECT_EQ(g_charged, i <= 20 ? 0 : (i - 20) * 65536) << "after line " << i;
  }
  EXPECT_TRUE(screen_line_is("line 6 of 25", 0, 7) && screen_line_is("line 25 of 25", 114, 7));
  EXPECT_EQ(pstate.cursor_y, 120);
  // A long line on the last row: one scroll to make room, one after the text.
  g_charged = 0;
  orrery_print(text.c_str());
  EXPECT_EQ(g_charged, 2 * 65536);
  EXPECT_TRUE(screen_line_is("line 25 of 25", 102, 7) && screen_line_is(text.substr(0, 32).c_str(), 108));
  EXPECT_TRUE(rows_clear(120, 127));
}

TEST(ConsoleOutput, EmptyLinesClearToTheBottomAndTheCursorStaysOnTheScreen) {
  output_rig rig;
  vell_rectfill(pstate.screen, 0, 0, 127, 127, 5);
  pstate.cursor_y = 60;
  orrery_print("");
  EXPECT_EQ(pstate.cursor_y, 66);
  EXPECT_TRUE(rows_clear(60, 127));
  EXPECT_EQ(vell_getpixel(pstate.screen, 0, 59), 5u);
  pstate.cursor_y = 120;
  vell_putpixel(pstate.screen, 3, 30, 9);
  orrery_print("");
  EXPECT_EQ(pstate.cursor_y, 120);
  EXPECT_EQ(vell_getpixel(pstate.screen, 3, 24), 9u) << "scrolled once";
  // A cursor a program left below the screen prints on the lowest line that fits, then scrolls.
  orrery_poke(&pstate, pstate.cart, 0x5f27, 200);
  orrery_print("low");
  EXPECT_EQ(pstate.cursor_y, 122);
  EXPECT_TRUE(screen_line_is("low", 116));
}

TEST(ConsoleOutput, ExecModePrintsLinesAndListingsOnStandardOutput) {
  output_rig rig;
  orrery_config_set(&orrery_config_t::exec_mode, 1);
  testing::internal::CaptureStdout();
  orrery_print("hello");
  orrery_print_2_col(14, "%s %d", "runtime error line", 5);
  orrery_print("");
  pstate.mode = MODE_RUNNING;
  orrery_print("from a command a cartridge called");
  pstate.mode = MODE_BOOT;
  orrery_print("not during a boot");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "** hello\n** runtime error line 5\n** \n** from a command a cartridge called\n");
  pstate.mode = MODE_CONSOLE;

  // Listings: folders, then cartridges, all at once (no page to fill).
  temp_folder root;
  for (int i = 0; i < 10; i++) {
    std::filesystem::create_directory(root / ("dir" + std::to_string(i)));
    write_file(root / ("game" + std::to_string(i) + ".q7"), "orrery cartridge\n");
  }
  orrery_config_set_text(&orrery_config_t::root_path, (root.path + "/").c_str());
  const std::vector<std::string> page = listing("");
  ASSERT_EQ(page.size(), 21u);
  EXPECT_EQ(page[0] + page[10].substr(0, 6) + page[11].substr(0, 7) + page[20].substr(0, 7),
            "** directory: /** dir** game** game");
  // At the console a page holds the heading and 17 entries.
  orrery_config_set(&orrery_config_t::exec_mode, 0);
  pstate.cursor_y = 0;
  listing("");
  EXPECT_TRUE(screen_line_is("--more--", 108, 12));
}
