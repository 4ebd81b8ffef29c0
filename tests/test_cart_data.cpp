// Persistent cartridge data: the id rules, the file read and written byte
// for byte, and when it is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/cart_data.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "shell/app_config.h"
#include "support/runner_rig.h"

namespace {

// The file of a run whose value 0 is v (8 hex digits) and the rest 0.
std::string file_with_first(const std::string &v) {
  std::string text = v + std::string(56, '0') + "\n";
  for (int i = 1; i < 8; i++) text += std::string(64, '0') + "\n";
  return text;
}

}  // namespace

TEST(CartData, StoppingWritesTheValuesTheNextRunReadsThemAndIdsAreChecked) {
  temp_folder home;
  exec_result r = exec_cart(home, "assert(not cartdata('my_game_1'), 'found')\ndset(0, 1.5)\ndset(63, -1)\ndset(64, 7)");
  EXPECT_TRUE(r.lines.empty());
  std::string expected = file_with_first("00018000");
  expected.replace(7 * 65 + 56, 8, "ffff0000");
  EXPECT_EQ(read_file(home / "cdata/my_game_1.q7d.txt"), expected);
  EXPECT_EQ(expected.size(), static_cast<size_t>(k_cdata_file_size));
  EXPECT_FALSE(path_exists(home / "cdata/my_game_1.q7d.txt.saving"));
  r = exec_cart(home, "found = cartdata('my_game_1')\nassert(false, (found and 'found' or 'none') .. ' ' .. dget(0) .. "
                      "' ' .. dget(63) .. ' ' .. dget(64) .. ' ' .. dget(-1))");
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3], "found 1.5 -1 0 0");

  const std::pair<std::string, std::string> errors[] = {
      {"cartdata('Game')", "cart data id: bad char"}, {"cartdata('b-c')", "cart data id: bad char"},
      {"cartdata('" + std::string(65, 'a') + "')", "cart data id too long"}, {"cartdata('')", "cart data id too long"},
      {"cartdata('a') cartdata('a')", "cartdata() can only be called once"}};
  for (const auto &[code, message] : errors) {
    r = exec_cart(home, code);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"runtime error line 1 tab 0", code, message})) << code;
  }
  r = exec_cart(home, "cartdata('" + std::string(64, 'z') + "') dset(1, 2)");
  EXPECT_TRUE(r.lines.empty());
  EXPECT_TRUE(path_exists(home / ("cdata/" + std::string(64, 'z') + ".q7d.txt")));
}

TEST(CartData, OnlyHexDigitsCountWhenReading) {
  int32_t v[64] = {};
  const std::string spaced = "0001 8000\n\nFFFFFFFF zz 7";
  parse_cdata(spaced.data(), spaced.size(), v);
  EXPECT_EQ(std::vector<int32_t>(v, v + 4), (std::vector<int32_t>{0x18000, -1, 7, 0}))
      << "a short last group is the number its digits form";
  std::string long_text, line;
  for (int i = 0; i < 70; i++) long_text += "00000001";
  int32_t w[64] = {};
  parse_cdata(long_text.data(), long_text.size(), w);
  for (int i = 0; i < 8; i++) line += "00000001";
  EXPECT_EQ(format_cdata(w), line + "\n" + line + "\n" + line + "\n" + line + "\n" + line + "\n" + line + "\n" + line +
                                 "\n" + line + "\n");
}

TEST(CartData, WrittenAfterSlicesAtMostOncePerSecondAndOnSuspend) {
  runner_rig rig;
  rig.run("cartdata('timing') n = 0\nfunction _update() n += 1 dset(0, n) end");
  const std::string file = orrery_config.cdata_path + std::string("timing.q7d.txt");
  rig.frame();
  EXPECT_EQ(read_file(file), file_with_first("00010000"));
  for (int i = 0; i < 20; i++) rig.frame();  // 680 ms later
  EXPECT_EQ(read_file(file), file_with_first("00010000"));
  for (int i = 0; i < 15; i++) rig.frame();  // past a second
  EXPECT_NE(read_file(file), file_with_first("00010000"));
  // A byte written to the data memory changes value 0 and marks the data.
  rig.run("cartdata('timing') function _update() end");
  rig.frame();
  EXPECT_NE(pstate.cdata[0], 0) << "the value written before is read back";
  for (int32_t i = 0; i < 4; i++) orrery_poke(&pstate, pstate.cart, 0x5e00 + i, i == 0 ? 1 : 0);
  EXPECT_EQ(pstate.cdata_changed, 1);
  rig.iterate(1100);
  EXPECT_EQ(read_file(file).substr(0, 8), "00000001");
  EXPECT_EQ(pstate.cdata_changed, 0);
}
