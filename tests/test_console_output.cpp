// Console output: wrapping, scrolling and its CPU charge, empty lines, the
// prompt, exec-mode output and the paged folder listing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/app_config.h"
#include "machine/cart_names.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"
#include "shell/args.h"
#include "shell/console.h"
#include "shell/console_output.h"
#include "support/console_rig.h"

namespace {

int64_t g_charged = 0;
void count_cycles(int32_t n, int) { g_charged += n; }

// The console after start-up, at the console with a clear screen and the
// cursor at the top.
struct output_rig : console_rig {
  output_rig() {
    pstate.mode = MODE_CONSOLE;
    clear();
    g_charged = 0;
    orrery_set_cpu_observer(count_cycles);
  }
  ~output_rig() { orrery_set_cpu_observer(nullptr); }
  void clear() {
    vell_rectfill(pstate.screen, 0, 0, 127, 127, 0);
    pstate.cursor_x = pstate.cursor_y = 0;
  }
};

// Rows y..y+5 of the screen against text drawn alone at (0, y).
bool line_is(const char *text, int32_t y, uint32_t c = 6) {
  vell_bitmap *expected = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(expected, text, pstate.font, 0, y, k_text_colour, c);
  bool same = true;
  for (int32_t r = y; r < y + 6 && r < 128; r++)
    for (int32_t x = 0; x < 128; x++) same = same && expected->line[r][x] == pstate.screen->line[r][x];
  vell_destroy_bitmap(expected);
  return same;
}

bool rows_clear(int32_t y0, int32_t y1) {
  for (int32_t y = y0; y <= y1; y++)
    for (int32_t x = 0; x < 128; x++)
      if (pstate.screen->line[y][x]) return false;
  return true;
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

TEST(ConsoleOutput, LongLineWrapsAt32AndScrollsFirstOnTheLastLine) {
  output_rig rig;
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz0123";  // 40 characters
  orrery_print(text.c_str());
  EXPECT_TRUE(line_is(text.substr(0, 32).c_str(), 0));
  EXPECT_TRUE(line_is(text.substr(32).c_str(), 6));
  EXPECT_EQ(pstate.cursor_y, 12);
  EXPECT_EQ(g_charged, 0);

  rig.clear();
  vell_putpixel(pstate.screen, 50, 20, 9);
  pstate.cursor_y = 120;
  orrery_print(text.c_str());
  EXPECT_EQ(g_charged, 2 * 65536) << "one scroll to make room, one after the text";
  EXPECT_EQ(vell_getpixel(pstate.screen, 50, 8), 9u);
  EXPECT_TRUE(line_is(text.substr(0, 32).c_str(), 108));
  EXPECT_TRUE(line_is(text.substr(32).c_str(), 114));
  EXPECT_EQ(pstate.cursor_y, 120);
  EXPECT_TRUE(rows_clear(120, 127));
}

TEST(ConsoleOutput, TwentyFiveLinesScrollOncePerLineFromTheTwentyFirst) {
  output_rig rig;
  for (int i = 1; i <= 25; i++) {
    orrery_print_2_col(7, "line %d of %d", i, 25);
    EXPECT_EQ(g_charged, i <= 20 ? 0 : (i - 20) * 65536) << "after line " << i;
  }
  EXPECT_TRUE(line_is("line 6 of 25", 0, 7));
  EXPECT_TRUE(line_is("line 25 of 25", 114, 7));
  EXPECT_EQ(pstate.cursor_y, 120);
  orrery_print_2("%d / %d chars", 70000, 65536);
  EXPECT_TRUE(line_is("70000 / 65536 chars", 114));
}

TEST(ConsoleOutput, EmptyLineClearsToTheBottomAndAdvancesExactlyOneLine) {
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
  EXPECT_EQ(pstate.cursor_y, 120) << "the cursor stays on the screen";
  EXPECT_EQ(vell_getpixel(pstate.screen, 3, 24), 9u) << "scrolled once";
  EXPECT_EQ(g_charged, 65536);

  // A cursor a program left below the screen prints on the lowest line
  // that fits, then scrolls.
  orrery_poke(&pstate, pstate.cart, 0x5f27, 200);
  orrery_print("low");
  EXPECT_EQ(pstate.cursor_y, 122);
  EXPECT_TRUE(line_is("low", 116));
}

TEST(ConsoleOutput, PromptClearsItsBoxAndBlinksTheCursorAtX8) {
  output_rig rig;
  vell_rectfill(pstate.screen, 0, 0, 127, 127, 5);
  pstate.cursor_y = 30;
  g_rig_now = 256;  // cursor on
  draw_command_string(1, 1);
  EXPECT_EQ(vell_getpixel(pstate.screen, 12, 30), 0u);
  EXPECT_EQ(vell_getpixel(pstate.screen, 12, 35), 0u);
  EXPECT_EQ(vell_getpixel(pstate.screen, 13, 30), 5u);
  EXPECT_EQ(vell_getpixel(pstate.screen, 0, 36), 5u);
  vell_bitmap *prompt = vell_create_bitmap(4, 6, 8);
  vell_draw_text_ex(prompt, ">", pstate.font, 0, 0, k_text_colour, 7);
  int ink = 0;
  for (int32_t y = 0; y < 6; y++)
    for (int32_t x = 0; x < 4; x++) {
      EXPECT_EQ(vell_getpixel(pstate.screen, x, 30 + y), vell_getpixel(prompt, x, y)) << x << "," << y;
      ink += vell_getpixel(prompt, x, y) == 7;
    }
  EXPECT_GT(ink, 0);
  vell_destroy_bitmap(prompt);
  for (int32_t y = 30; y <= 34; y++)
    for (int32_t x = 8; x <= 11; x++) EXPECT_EQ(vell_getpixel(pstate.screen, x, y), 8u);
  g_rig_now = 512;  // cursor off
  draw_command_string(1, 1);
  EXPECT_EQ(vell_getpixel(pstate.screen, 9, 31), 0u);

  pstate.mode = MODE_BOOT;
  vell_rectfill(pstate.screen, 0, 0, 127, 127, 5);
  draw_command_string(1, 1);
  EXPECT_EQ(vell_getpixel(pstate.screen, 2, 31), 5u) << "only at the console";
}

TEST(ConsoleOutput, ExecModeWritesConsoleLinesToStandardOutput) {
  output_rig rig;
  orrery_args.exec_mode = 1;
  testing::internal::CaptureStdout();
  orrery_print("hello");
  orrery_print_2_col(14, "%s %d", "runtime error line", 5);
  orrery_print("");
  pstate.mode = MODE_BOOT;
  orrery_print("not at the console");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "** hello\n** runtime error line 5\n** \n");
  orrery_args.exec_mode = 0;
}

TEST(ConsoleOutput, ListingShowsFoldersThenCartridgesAndStopsAtAFullPage) {
  output_rig rig;
  temp_folder root;
  for (int i = 0; i < 10; i++) {
    std::filesystem::create_directory(root / ("dir" + std::to_string(i)));
    write_file(root / ("game" + std::to_string(i) + ".q7"), "orrery cartridge\n");
  }
  write_file(root / "notes.txt", "x");
  snprintf(orrery_config.root_path, sizeof orrery_config.root_path, "%s/", root.path.c_str());
  orrery_args.exec_mode = 1;

  testing::internal::CaptureStdout();
  orrery_start_listing("");
  int steps = 0;
  while (orrery_listing_lines() > 0 && steps++ < 100) orrery_list_files();
  std::vector<std::string> out = lines_of(testing::internal::GetCapturedStdout());
  ASSERT_EQ(out.size(), 19u);
  EXPECT_EQ(out[0], "** directory: /");
  for (int i = 1; i <= 10; i++) EXPECT_EQ(out[i].substr(0, 6), "** dir") << out[i];
  for (int i = 11; i <= 17; i++) EXPECT_EQ(out[i].substr(0, 7), "** game") << out[i];
  EXPECT_EQ(out[18], "** --more--");

  // A smaller folder lists whole, with every file under "*", and no --more--.
  orrery_set_current_folder("dir3/");
  std::filesystem::create_directory(root / "dir3/sub");
  write_file(root / "dir3/a.q7", "");
  write_file(root / "dir3/b.txt", "");
  testing::internal::CaptureStdout();
  orrery_start_listing("*");
  steps = 0;
  while (orrery_listing_lines() > 0 && steps++ < 100) orrery_list_files();
  out = lines_of(testing::internal::GetCapturedStdout());
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], "** directory: /dir3/");
  EXPECT_EQ(out[1], "** sub");
  EXPECT_TRUE((out[2] == "** a.q7" && out[3] == "** b.txt") || (out[2] == "** b.txt" && out[3] == "** a.q7"));

  // Without "*" only cartridges; the loop runs the listing two steps per update.
  testing::internal::CaptureStdout();
  orrery_start_listing("");
  rig.iterate(1);
  rig.iterate(1);
  rig.iterate(1);
  out = lines_of(testing::internal::GetCapturedStdout());
  EXPECT_EQ(out, (std::vector<std::string>{"** directory: /dir3/", "** sub", "** a.q7"}));
  EXPECT_EQ(orrery_listing_lines(), 0);
  orrery_args.exec_mode = 0;
}
