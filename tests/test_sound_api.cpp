// The script functions sfx and music drive the sound system.
#include <gtest/gtest.h>

#include "api/api.h"
#include "audio/audio.h"
#include "lauxlib.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"
#include "script/interp.h"

namespace {

int32_t g_charged = 0;
void count(int32_t n, int) { g_charged += n; }

void run(lua_State *L, const char *code) {
  ASSERT_EQ(luaL_loadstring(L, code), 0) << code;
  ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0) << lua_tostring(L, -1);
}

}  // namespace

TEST(SoundApi, SfxAndMusicStartPlaybackAndChargeTheirCost) {
  orrery_create_machine();
  orrery_sound_init(16);
  lua_State *L = orrery_lua_open();
  add_c_functions(L);
  orrery_set_cpu_observer(count);

  run(L, "sfx(3, 1)");
  EXPECT_EQ(orrery_audio_stat(17), 3) << "channel 1 plays sound 3";
  EXPECT_EQ(g_charged, 16);

  g_charged = 0;
  run(L, "sfx(-1, 1)");
  EXPECT_EQ(orrery_audio_stat(17), -1);
  EXPECT_EQ(g_charged, 0) << "stopping a sound starts nothing and costs nothing";

  // Pattern 2 plays sound 1 in its first column.
  orrery_poke(&pstate, pstate.cart, 0x3100 + 2 * 4, 1);
  run(L, "music(2)");
  EXPECT_EQ(orrery_audio_stat(24), 2) << "the song plays pattern 2";
  EXPECT_EQ(orrery_audio_stat(16), 1);
  EXPECT_EQ(g_charged, 16);
  run(L, "music(-1)");
  EXPECT_EQ(orrery_audio_stat(24), 0) << "no music plays";

  orrery_set_cpu_observer(nullptr);
  orrery_lua_close(L);
  orrery_sound_exit();
}
