#include <gtest/gtest.h>

#include "shell/rng.h"

TEST(EngineRandom, SeedZeroUsesFixedWords) {
  vell_srand(0);
  EXPECT_EQ(vell_rng.a, 0xdeadbeefu);
  EXPECT_EQ(vell_rng.b, 0x60009755u);
}
