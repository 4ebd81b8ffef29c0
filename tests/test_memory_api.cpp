// peek, poke, memcpy, memset, reload and cstore through the script API.
#include <gtest/gtest.h>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "support/api_support.h"

using MemoryApi = ApiMachine;

TEST_F(MemoryApi, PeekAndPokeReachEveryRegion) {
  EXPECT_EQ(num("peek(-1)"), 0);
  EXPECT_EQ(num("peek(32768)"), 0);
  EXPECT_EQ(num("peek()"), 0);
  run("poke(32768, 1) poke(-1, 1)");
  EXPECT_EQ(take_memory_errors(), (std::vector<std::string>{"bad memory access", "bad memory access"}));

  run("poke(0x1000, 0x21)");
  EXPECT_EQ(num("sget(0, 64)"), 1);
  EXPECT_EQ(num("sget(1, 64)"), 2);
  EXPECT_EQ(num("mget(0, 32)"), 0x21);
  EXPECT_EQ(num("peek(0x1000)"), 0x21);
  run("poke(0x4400, 0x1ff)");
  EXPECT_EQ(num("peek(0x4400)"), 0xff) << "the low 8 bits are stored";

  run("poke(0x5f29, 1) poke(0x5f28, 0x80)");
  EXPECT_EQ(pstate.camera_x, 384);
  run("poke(0x5f29, 0xff)");
  EXPECT_LT(pstate.camera_x, 0);
  run("poke(0x6000, 0x3c)");
  EXPECT_EQ(picture(0, 0, 2, 1), "c3\n");
  EXPECT_TRUE(take_memory_errors().empty());
}

TEST_F(MemoryApi, CopiesAndFills) {
  run("for i = 0, 9 do poke(0x4300 + i, i + 1) end memcpy(0x4301, 0x4300, 10)");
  EXPECT_EQ(num("peek(0x4300) * 256 + peek(0x4301)"), 0x0101) << "copied without smearing";
  EXPECT_EQ(num("peek(0x430a)"), 10);
  run("memset(0x6000, 0x21, 8192)");
  EXPECT_EQ(picture(124, 127, 4, 1), "1212\n");
  // Bytes written outside the space are reported one by one; the rest is done.
  run("memset(-2, 7, 4)");
  EXPECT_EQ(take_memory_errors().size(), 2u);
  EXPECT_EQ(num("peek(1)"), 7);
}

TEST_F(MemoryApi, ReloadAndCstoreUseTheWorkingCartridge) {
  orrery_cart *working = vell_create_orrery_cart();
  ASSERT_NE(working, nullptr);
  orrery_set_working_cart(working);
  working->gfx->line[0][0] = 7;
  working->flags[5] = 3;

  run("poke(0, 0) poke(0x3005, 0)");
  EXPECT_EQ(num("reload()"), 0x4300);
  EXPECT_EQ(num("sget(0, 0)"), 7);
  EXPECT_EQ(num("fget(5)"), 3);
  EXPECT_EQ(num("reload(0x4300, 0x3004, 2)"), 2);
  EXPECT_EQ(num("peek(0x4301)"), 3);
  run("poke(0x4300, 1)");
  EXPECT_EQ(num("reload(0x4300, 0x3005, 1, 'other.q7')"), 0) << "no such file yet";
  EXPECT_EQ(num("peek(0x4300)"), 1);

  run("poke(0x3006, 9)");
  EXPECT_EQ(num("cstore()"), 0x4300);
  EXPECT_EQ(working->flags[6], 9);
  run("poke(0x3006, 4)");
  EXPECT_EQ(num("cstore(0x3007, 0x3006, 1)"), 1);
  EXPECT_EQ(working->flags[7], 4);
  EXPECT_EQ(working->flags[6], 9);
  EXPECT_EQ(num("cstore(0, 0, 1, 'other.q7')"), 1);

  vell_destroy_orrery_cart(working);
  EXPECT_EQ(orrery_working_cart(), nullptr);
}

TEST_F(MemoryApi, ChargesAndRefunds) {
  take_charges();
  run("peek(1) peek(1, 2) poke(0x4300, 1) poke(0x4300, 1, 2)");
  EXPECT_EQ(take_charges(), (std::vector<api_charge>{{-2, true}, {-3, true}}));
  run("memcpy(0x4300, 0, 10) memset(0x4300, 0, 10) memset(0x4300, 0, 0) memcpy(0x4300, 0, 32767)");
  EXPECT_EQ(take_charges(), (std::vector<api_charge>{{11, false}, {5, false}, {0, false}, {32768, false}}));
  run("reload() reload(0, 0, 16) reload(0, 0, 5000) reload(0, 0, 16, 'x')");
  EXPECT_EQ(take_charges(),
            (std::vector<api_charge>{{32768, false}, {128, false}, {32768, false}, {128, false}}));
  run("cstore() cstore(0, 0, 16) cstore(0, 0, -5)");
  EXPECT_EQ(take_charges(), (std::vector<api_charge>{{262144, false}, {1024, false}, {-320, false}}));
}
