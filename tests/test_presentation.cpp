// Presentation of the console screen: draw modes on known pictures and the
// extended-palette unlock.
#include <gtest/gtest.h>

#include "gfx/bitmap.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "shell/console.h"
#include "shell/presentation.h"

namespace {

// A 128x128 picture whose pixels hold their own x (or y) coordinate.
vell_bitmap *coordinate_picture(bool rows) {
  vell_bitmap *b = vell_create_bitmap(128, 128, 8);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) b->line[y][x] = static_cast<uint8_t>(rows ? y : x);
  return b;
}

// Where draw mode m takes the pixel shown at (x, y) from, one axis at a time.
int32_t source_x(int32_t m, int32_t x) {
  if (m == 1 || m == 3) return x / 2;
  if (m == 5 || m == 7) return x < 64 ? x : 127 - x;
  return x;
}
int32_t source_y(int32_t m, int32_t y) {
  if (m == 2 || m == 3) return y / 2;
  if (m == 6 || m == 7) return y < 64 ? y : 127 - y;
  return y;
}

struct machine_rig {
  machine_rig() {
    EXPECT_EQ(orrery_create_machine(), 0);
    orrery_state.presented = vell_create_bitmap(128, 128, 8);
  }
  ~machine_rig() {
    vell_destroy_bitmap(orrery_state.presented);
    orrery_state.presented = nullptr;
    orrery_clear_machine();
  }
};

}  // namespace

TEST(DrawModes, StretchAndMirrorModesTakeEachPixelFromTheRightPlace) {
  for (int32_t m : {0, 1, 2, 3, 4, 5, 6, 7, 8, 255}) {
    vell_bitmap *xs = coordinate_picture(false);
    vell_bitmap *ys = coordinate_picture(true);
    apply_draw_mode(xs, m);
    apply_draw_mode(ys, m);
    int wrong = 0;
    for (int32_t y = 0; y < 128; y++)
      for (int32_t x = 0; x < 128; x++) {
        const bool ok = xs->line[y][x] == source_x(m, x) && ys->line[y][x] == source_y(m, y);
        if (!ok && wrong++ < 3) ADD_FAILURE() << "mode " << m << " at " << x << "," << y;
      }
    EXPECT_EQ(wrong, 0) << "mode " << m;
    vell_destroy_bitmap(xs);
    vell_destroy_bitmap(ys);
  }
}

TEST(DrawModes, AppliedOnlyToARunningCartridgeProgram) {
  machine_rig rig;
  vell_putpixel(pstate.screen, 10, 0, 9);
  orrery_poke(&pstate, pstate.cart, 0x5f2c, 5);
  blit_orrery_back_page_to_orrery_screen();
  EXPECT_EQ(vell_getpixel(orrery_state.presented, 117, 0), 0u) << "console mode shows the screen as it is";
  pstate.mode = MODE_RUNNING;
  pstate.program_started = 1;
  blit_orrery_back_page_to_orrery_screen();
  EXPECT_EQ(vell_getpixel(orrery_state.presented, 117, 0), 9u);
  EXPECT_EQ(vell_getpixel(pstate.screen, 117, 0), 0u) << "screen memory is not changed";
}

TEST(ScreenPalette, EntryOf0x8CShowsColour12UnlessTheUnlockValueIsInPlace) {
  machine_rig rig;
  vell_putpixel(pstate.screen, 0, 0, 3);
  vell_putpixel(pstate.screen, 1, 0, 4);
  orrery_poke(&pstate, pstate.cart, 0x5f13, 0x8c);
  orrery_poke(&pstate, pstate.cart, 0x5f14, 0x75);
  for (int i = 0; i < 4; i++) orrery_poke(&pstate, pstate.cart, 0x5f60 + i, k_extended_palette_code[i]);
  blit_orrery_back_page_to_orrery_screen();
  EXPECT_EQ(vell_getpixel(orrery_state.presented, 0, 0), 140u);
  EXPECT_EQ(vell_getpixel(orrery_state.presented, 1, 0), 5u) << "bits 4-6 are dropped either way";
  EXPECT_EQ(orrery_peek(&pstate, pstate.cart, 0x5f13), 0x8c);

  // One byte off is no unlock; the reduced entry is stored back.
  orrery_poke(&pstate, pstate.cart, 0x5f63, k_extended_palette_code[3] ^ 1);
  blit_orrery_back_page_to_orrery_screen();
  EXPECT_EQ(vell_getpixel(orrery_state.presented, 0, 0), 12u);
  EXPECT_EQ(orrery_peek(&pstate, pstate.cart, 0x5f13), 0x0c);
  orrery_poke(&pstate, pstate.cart, 0x5f63, k_extended_palette_code[3]);
  blit_orrery_back_page_to_orrery_screen();
  EXPECT_EQ(vell_getpixel(orrery_state.presented, 0, 0), 12u) << "bit 7 was lost when it was stored back";
}
