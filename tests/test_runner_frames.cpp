// Running programs frame by frame: the count hook that keeps a program
// within its frame's budget, the CPU figures, the frame-rate controller,
// and the runner's entry points of the program header.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/bitmap.h"
#include "lauxlib.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"
#include "script/runner.h"
#include "shell/app_config.h"
#include "shell/buttons.h"
#include "shell/cart_menu.h"
#include "shell/console.h"
#include "support/runner_rig.h"

namespace {

constexpr int32_t k_hook_cycles_at_30 = 137 * 1024;  // the first multiple of 1024 not below 139810

// Cycles the count hook charged this frame (API charges are the rest).
int32_t hook_cycles() { return cpu_budget.frame_cycles - cpu_budget.system_cycles; }

// Runs code on the helper thread and returns its results as text.
std::string eval(const char *code) {
  lua_State *H = orrery_runner.helper;
  const int top = lua_gettop(H);
  if (luaL_loadstring(H, code) != LUA_OK || lua_pcall(H, 0, LUA_MULTRET, 0) != LUA_OK) {
    const std::string err = lua_tostring(H, -1);
    lua_settop(H, top);
    return "error: " + err;
  }
  std::string out;
  for (int i = top + 1; i <= lua_gettop(H); i++)
    out += (out.empty() ? "" : ",") + std::string(lua_isboolean(H, i) ? (lua_toboolean(H, i) ? "true" : "false")
                                                  : lua_isnil(H, i)   ? "nil"
                                                                      : lua_tostring(H, i));
  lua_settop(H, top);
  return out;
}

}  // namespace

TEST(CountHook, TightLoopsAreSuspendedAtThe137thHookCallEveryFrameWhereverTheyAre) {
  for (const char *code : {"while true do end", "function _init() while true do end end",
                           "function _update() while true do end end", "function _draw() while true do end end"}) {
    runner_rig rig;
    rig.run(code);
    for (int32_t frame = 1; frame <= 3; frame++) {
      rig.frame();
      ASSERT_EQ(pstate.mode, MODE_RUNNING) << code;
      EXPECT_EQ(hook_cycles(), frame * k_hook_cycles_at_30) << code << ", frame " << frame;
    }
    rig.press({41});  // the console still answers: Escape opens the pause menu
    EXPECT_EQ(orrery_state.pause_menu_open, 1) << code;
  }
}

TEST(CountHook, LoopsInCoroutinesAndFinalizersCannotHoldTheConsole) {
  runner_rig rig;
  rig.run("c = cocreate(function() while true do end end)\nresumes = 0\nwhile true do coresume(c) resumes += 1 end");
  for (int32_t frame = 1; frame <= 3; frame++) {
    rig.frame();
    EXPECT_LT(hook_cycles(), frame * (k_hook_cycles_at_30 + 2048)) << "the program stops with the coroutine";
  }
  EXPECT_GE(rig.num("resumes"), 2);
  // A finalizer runs while the runner collects garbage between frames,
  // where nothing can be suspended; one that never returns is stopped.
  rig.run("setmetatable({}, {__gc = function() while true do end end})\nframes = 0\nfunction _update() frames += 1 end");
  for (int i = 0; i < 4; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_GE(rig.num("frames"), 2);
}

TEST(CpuFigures, ChargesFillTheFrameAndStatOneIsItsShare) {
  runner_rig rig;
  rig.run("function _update()\n  start = stat(1)\n  for j = 1, 3 do for i = 1, 23000 do end end\n  half = stat(1)\nend");
  for (int i = 0; i < 3; i++) rig.frame();
  EXPECT_LT(rig.num("start"), 0.05) << "restarts at flip";
  EXPECT_NEAR(rig.num("half"), 0.5, 0.05);
  // A charge counts at least 1; refunds are not system work; whole blocks
  // of 2048 move the hook closer.
  cpu_end_frame();
  cpu_begin_slice();
  spend_cpu(0);
  spend_cpu(-5);
  EXPECT_EQ(cpu_budget.frame_cycles, 2);
  refund_cpu(-3);
  EXPECT_EQ(cpu_budget.frame_cycles, -1);
  EXPECT_EQ(cpu_budget.system_cycles, 2);
  spend_cpu(2500);
  EXPECT_EQ(cpu_budget.spend_remainder, 2499 - 2048);
  EXPECT_EQ(cpu_budget.limiter_count, 2499);
  // 30 frames per second: 139810 cycles a frame.
  set_fps(30);
  EXPECT_EQ(cycles_2_frame_capacity(69905), 0x8000);
  set_fps(60);
  EXPECT_EQ(frame_budget(), 69905);
  EXPECT_EQ(cycles_2_frame_capacity(69905), 0x10000);
  // The runtime charges 8 for a power and 8 per root step.
  static int32_t observed;
  orrery_set_cpu_observer([](int32_t n, int) { observed += n; });
  for (const auto &[code, cycles] : {std::pair{"b = 2 x = b ^ 0.5", 16}, std::pair{"b = 2 x = b ^ 3", 8}}) {
    observed = 0;
    rig.run(code);
    rig.frame();
    EXPECT_EQ(observed, cycles) << code;
  }
  orrery_set_cpu_observer(nullptr);
}

TEST(FrameRate, SixtyFpsOverrunsFallBackTo30WithTwoUpdatesPerDrawAndRecover) {
  runner_rig rig;
  rig.run("u = 0 d = 0 old = 0\nfunction _update() old += 1 end\n"
          "function _update60() u += 1 for i = 1, 20000 do end for i = 1, 20000 do end end\n"
          "function _draw() d += 1 for i = 1, 20000 do end for i = 1, 15000 do end end");
  for (int i = 0; i < 24; i++) rig.iterate(17);
  EXPECT_EQ(pstate.target_fps, 30);
  const double u = rig.num("u"), d = rig.num("d");
  for (int i = 0; i < 40; i++) rig.iterate(17);
  EXPECT_EQ(rig.num("u") - u, 2 * (rig.num("d") - d));
  EXPECT_GE(rig.num("d") - d, 15);
  EXPECT_EQ(rig.num("old"), 0) << "_update is ignored beside _update60";
  EXPECT_EQ(eval("return stat(7), stat(8)"), "30,60");
  // A slow host lowers the rate only with host control on; cheap frames
  // (too quick for the clock to see) recover the wanted rate.
  rig.run("n = 0 function _update60() n += 1 end");
  orrery_config.host_framerate_control = 0;
  for (int i = 0; i < 60; i++) rig.iterate(34);
  EXPECT_EQ(pstate.target_fps, 60);
  orrery_config.host_framerate_control = 1;
  for (int i = 0; i < 10; i++) rig.iterate(34);
  EXPECT_EQ(pstate.target_fps, 30);
  for (int i = 0; i < 120; i++) rig.iterate(16);
  EXPECT_EQ(pstate.target_fps, 60);
}

TEST(FrameRate, ControllerHalvesOnRequestRecoversAndCountsQuickDrops) {
  runner_rig rig;
  rig.run("function _update() end");
  rig.frame();
  auto measured = [](int32_t fps, int32_t load_cycles) {
    for (int32_t &h : cpu_budget.history) h = fps;
    cpu_budget.previous_load = cpu_budget.current_load = cpu_budget.mark_cycles[0] = 0;
    cpu_budget.mark_cycles[2] = load_cycles;
  };
  set_fps(30);
  measured(60, 1000);
  cpu_budget.halving_request = 1;
  update_frame_rate();
  EXPECT_EQ(pstate.target_fps, 15);
  cpu_budget.halving_request = 1;
  update_frame_rate();
  EXPECT_EQ(pstate.target_fps, 30) << "no second halving; the cheap frame recovers";
  pstate.target_fps = 15;
  measured(60, 139810 * 97 / 100);
  update_frame_rate();
  EXPECT_EQ(pstate.target_fps, 15) << "no recovery while a frame needs more than 0.96873 of the budget";
  // Two drops for host slowness within 200 ms raise the penalty.
  set_fps(60);
  measured(50, 1000);
  update_frame_rate();
  EXPECT_EQ(pstate.target_fps, 30);
  pstate.target_fps = 60;
  update_frame_rate();
  EXPECT_EQ(eval("return stat(10)"), "1");
}

TEST(RunnerEntryPoints, TimeStatButtonsThePausedBoxAndMenuItems) {
  runner_rig rig;
  rig.run("picked = 0\nmenuitem(1, 'first', function() picked += 1 end)\nmenuitem(0, 'zero', nil)\n"
          "_menuitem(6, 'six')\n_menuitem(2, 'a label of twenty ch')\nfunction _update() t = time() end");
  for (int i = 0; i < 45; i++) rig.frame();
  EXPECT_EQ(rig.raw("t"), 0x18000) << "45 updates are 1.5 seconds";
  EXPECT_EQ(eval("return stat(5), stat(3), stat(4), stat(7), stat(8), stat(100), type(stat()), #stat(6)"),
            "12,0,,30,30,0,number,1024");
  orrery_buttons.down[0][BTN_O] = 1;
  orrery_buttons.down[1][BTN_LEFT] = 1;
  EXPECT_EQ(eval("return btn(), btn(4), btn(4, 1), btn(0, 1), btn(4, 8), btn(4, -1), btnp(4)"),
            "272,true,false,true,false,false,false");
  vell_set_clip(pstate.screen, 0, 0, 128, 128);
  EXPECT_EQ(eval("_paused()"), "");
  const vell_bitmap *s = pstate.screen;
  EXPECT_EQ(vell_getpixel(s, 45, 48) * 16 + vell_getpixel(s, 82, 56), 0x11u);
  EXPECT_NE(vell_getpixel(s, 83, 56), 1u);
  int32_t ink = 0;
  for (int32_t y = 50; y < 56; y++)
    for (int32_t x = 45; x <= 82; x++) ink += vell_getpixel(s, x, y) == 7;
  EXPECT_GT(ink, 10) << "the word paused in colour 7";
  // Menu items: labels cut to 16 characters, callbacks once after being chosen.
  EXPECT_STREQ(orrery_cart_menu.label[0], "first");
  EXPECT_STREQ(orrery_cart_menu.label[1], "a label of twent");
  for (int i = 2; i < k_cart_menu_slots; i++) EXPECT_STREQ(orrery_cart_menu.label[i], "");
  choose_cart_menu_item(1);
  rig.frame();
  rig.frame();
  EXPECT_EQ(rig.num("picked"), 1);
  EXPECT_EQ(eval("return _get_menu_item_selected(2), #{_get_menu_item_selected(7)}"), "false,0");
  EXPECT_EQ(eval("_menuitem(1) return 1"), "1");
  EXPECT_STREQ(orrery_cart_menu.label[0], "");
}
