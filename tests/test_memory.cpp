#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "support/cart_support.h"

namespace {

std::vector<std::string> g_errors;
void record_error(const char *message) { g_errors.push_back(message); }

// A fresh machine with its live cartridge; memory errors are collected.
class Memory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(orrery_create_machine(), 0);
    g_errors.clear();
    orrery_set_memory_error_hook(record_error);
  }
  void TearDown() override {
    orrery_set_memory_error_hook(nullptr);
    orrery_clear_machine();
  }
  int32_t peek(int32_t a) { return orrery_peek(&pstate, pstate.cart, a); }
  void poke(int32_t a, int32_t v) { orrery_poke(&pstate, pstate.cart, a, v); }
  uint8_t gfx(int32_t x, int32_t y) { return pstate.cart->gfx->line[y][x]; }
  uint8_t map(int32_t x, int32_t y) { return pstate.cart->map->line[y][x]; }
  uint8_t screen(int32_t x, int32_t y) { return pstate.screen->line[y][x]; }
};

}  // namespace

TEST_F(Memory, AddressesOutsideTheSpaceReadZeroAndReportEachBadWrite) {
  EXPECT_EQ(peek(-1), 0);
  EXPECT_EQ(peek(32768), 0);
  EXPECT_EQ(peek(INT32_MIN), 0);
  poke(32768, 1);
  poke(-1, 1);
  ASSERT_EQ(g_errors.size(), 2u);
  EXPECT_EQ(g_errors[0], "bad memory access");

  // memset and memcpy report once per byte and go on with the next one.
  g_errors.clear();
  orrery_memset(&pstate, pstate.cart, 32766, 0x11, 4);
  EXPECT_EQ(g_errors.size(), 2u);
  EXPECT_EQ(peek(32766), 0x11);
  EXPECT_EQ(peek(32767), 0x11);
  g_errors.clear();
  orrery_memcpy(&pstate, pstate.cart, -2, 32764, 4);
  EXPECT_EQ(g_errors.size(), 2u);
  EXPECT_EQ(peek(0), 0x11);
  EXPECT_EQ(peek(1), 0x11);
  // A source outside the space reads as 0.
  poke(0x4300, 9);
  orrery_memcpy(&pstate, pstate.cart, 0x4300, -1, 2);
  EXPECT_EQ(peek(0x4300), 0);

  // Lengths outside 1-32767 do nothing at all.
  g_errors.clear();
  orrery_memset(&pstate, pstate.cart, 0x4300, 5, 0);
  orrery_memset(&pstate, pstate.cart, 0x4300, 5, 32768);
  orrery_memset(&pstate, pstate.cart, 0x7fff, 5, -1);
  orrery_memcpy(&pstate, pstate.cart, 0x4300, 0, 40000);
  EXPECT_EQ(peek(0x4300), 0);
  EXPECT_TRUE(g_errors.empty());
  orrery_memset(&pstate, pstate.cart, 0, 0x22, 32767);
  EXPECT_EQ(peek(32766), 0x22);
  EXPECT_EQ(peek(32767), 0x11);

  // While the reset glitch runs, bad writes are not reported.
  pstate.reset_glitch = 2;
  orrery_memset(&pstate, pstate.cart, 32760, 1, 100);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Memory, SpriteSheetMapAndTheSharedQuarter) {
  poke(5 * 64 + 3, 0xab);  // row 5, pixels 6 and 7
  EXPECT_EQ(gfx(6, 5), 0xb);
  EXPECT_EQ(gfx(7, 5), 0xa);
  EXPECT_EQ(peek(5 * 64 + 3), 0xab);

  poke(0x1000, 0x21);
  EXPECT_EQ(gfx(0, 64), 1);
  EXPECT_EQ(gfx(1, 64), 2);
  EXPECT_EQ(map(0, 32), 0x21);
  EXPECT_EQ(peek(0x1000), 0x21);
  poke(0x1fff, 0x9c);  // last shared byte: sprite row 127, map row 63
  EXPECT_EQ(gfx(126, 127), 0xc);
  EXPECT_EQ(gfx(127, 127), 0x9);
  EXPECT_EQ(map(127, 63), 0x9c);

  // Reads of the shared quarter come from the sprite sheet.
  pstate.cart->map->line[32][5] = 0x77;
  EXPECT_EQ(peek(0x1005), 0);

  poke(0x2000 + 3 * 128 + 17, 200);
  EXPECT_EQ(map(17, 3), 200);
  EXPECT_EQ(peek(0x2000 + 3 * 128 + 17), 200);

  // Map rows win when any of them is set; pixel positions follow the layout.
  orrery_cart *cart = pstate.cart;
  cart->map->line[33][70] = 0x5c;
  orrery_sync_shared_quarter(cart);
  EXPECT_EQ(gfx(12, 67), 0xc);
  EXPECT_EQ(gfx(13, 67), 0x5);
  EXPECT_EQ(gfx(0, 64), 1);  // from map cell (0, 32)
  for (int32_t a = 0x1000; a < 0x2000; a++) ASSERT_EQ(peek(a), map(a & 127, 32 + ((a - 0x1000) >> 7))) << a;

  // With the map rows all zero the sprite rows are copied the other way.
  for (int32_t y = 32; y < 64; y++)
    for (int32_t x = 0; x < 128; x++) cart->map->line[y][x] = 0;
  cart->gfx->line[100][41] = 6;
  orrery_sync_shared_quarter(cart);
  EXPECT_EQ(map(20, 50), 0x60);  // pixel 41 of sprite row 100 is the high nibble
  for (int32_t a = 0x1000; a < 0x2000; a++) ASSERT_EQ(peek(a), map(a & 127, 32 + ((a - 0x1000) >> 7))) << a;
}

TEST_F(Memory, FlagsAndMusicBytesKeepValueAndFlagBit) {
  poke(0x3000 + 200, 0xf3);
  EXPECT_EQ(pstate.cart->flags[200], 0xf3);
  EXPECT_EQ(peek(0x3000 + 200), 0xf3);

  poke(0x3100, 0x81);
  EXPECT_EQ(peek(0x3100), 0x81);
  EXPECT_EQ(pstate.cart->music[0].channel[0], 1);
  EXPECT_EQ(pstate.cart->music[0].flags, 1);
  // Pattern 5, channel 2: value 0x45 clears only flag bit 2.
  pstate.cart->music[5].flags = 0xf;
  poke(0x3100 + 5 * 4 + 2, 0x45);
  EXPECT_EQ(pstate.cart->music[5].channel[2], 0x45);
  EXPECT_EQ(pstate.cart->music[5].flags, 0xb);
  EXPECT_EQ(peek(0x3100 + 5 * 4 + 3), 0x44 | 0x80);
  // The empty defaults read back as the channel-off values.
  EXPECT_EQ(peek(0x3100 + 63 * 4 + 1), 0x42);
}

TEST_F(Memory, SoundBytesEncodeAndDecodeTheNoteFields) {
  // Note word 0x0c21: pitch 33, waveform 0, volume 6, effect 0, no custom flag.
  poke(0x3200, 0x21);
  poke(0x3201, 0x0c);
  expect_note(pstate.cart->sfx[0].notes[0], 33, 0, 6, 0, 0);

  // Sound 3, note 31: the odd byte sets waveform bit 2, volume, effect and
  // the custom flag; the even byte keeps waveform bit 2.
  const int32_t base = 0x3200 + 3 * 68 + 62;
  poke(base + 1, 0xff);
  poke(base, 0xc5);
  const orrery_note &m = pstate.cart->sfx[3].notes[31];
  expect_note(m, 5, 7, 7, 7, 128);
  EXPECT_EQ(peek(base), 0xc5);
  EXPECT_EQ(peek(base + 1), 0xff);
  poke(base, 0x01);
  EXPECT_EQ(m.waveform, 4);
  poke(base + 1, 0x00);
  EXPECT_EQ(m.waveform, 0);
  EXPECT_EQ(m.custom, 0);

  // Header bytes of the last sound, up to 0x42ff.
  poke(0x42fc, 2);
  poke(0x42fd, 0xfe);
  poke(0x42fe, 8);
  poke(0x42ff, 24);
  const orrery_sfx &s = pstate.cart->sfx[63];
  EXPECT_EQ(s.editor_mode, 2);
  EXPECT_EQ(s.speed, 0xfe);
  EXPECT_EQ(s.loop_start, 8);
  EXPECT_EQ(s.loop_end, 24);
  EXPECT_EQ(peek(0x3200 + 65), 1);  // sound 0's default speed
  EXPECT_EQ(peek(0x3200 + 68 + 65), 16);
}

TEST_F(Memory, PersistentDataBytesAreLittleEndianAndMarkTheChange) {
  poke(0x5e00, 1);
  EXPECT_EQ(pstate.cdata[0], 1);  // 1/65536
  EXPECT_EQ(pstate.cdata_changed, 1);
  pstate.cdata[5] = static_cast<int32_t>(0x80018000u);
  EXPECT_EQ(peek(0x5e14), 0x00);
  EXPECT_EQ(peek(0x5e15), 0x80);
  EXPECT_EQ(peek(0x5e16), 0x01);
  EXPECT_EQ(peek(0x5e17), 0x80);
  poke(0x5e17, 0x7f);
  EXPECT_EQ(pstate.cdata[5], 0x7f018000);

  // The reset glitch's scribbles do not reach the persistent values.
  pstate.cdata_changed = 0;
  pstate.reset_glitch = 2;
  poke(0x5e00, 0x55);
  EXPECT_EQ(pstate.cdata[0], 1);
  EXPECT_EQ(pstate.cdata_changed, 0);
}

TEST_F(Memory, RegistersApplyTheirSideEffects) {
  // Camera x: the high byte is signed.
  poke(0x5f29, 0x01);
  poke(0x5f28, 0x80);
  EXPECT_EQ(pstate.camera_x, 384);
  poke(0x5f29, 0xff);
  EXPECT_EQ(pstate.camera_x, -128);
  EXPECT_EQ(peek(0x5f28), 0x80);
  EXPECT_EQ(peek(0x5f29), 0xff);
  poke(0x5f2a, 0xff);
  poke(0x5f2b, 0xff);
  EXPECT_EQ(pstate.camera_y, -1);
  pstate.camera_x = -1;  // as the drawing functions may set it
  pstate.ram[0x5f28] = pstate.ram[0x5f29] = 0;
  EXPECT_EQ(peek(0x5f28), 0xff);
  EXPECT_EQ(peek(0x5f29), 0xff);

  // A clip write changes the screen's clip rectangle at once.
  poke(0x5f20, 10);
  poke(0x5f23, 200);
  EXPECT_EQ(pstate.screen->cl, 10);
  EXPECT_EQ(pstate.screen->cb, 128);
  EXPECT_EQ(peek(0x5f23), 200);
  vell_putpixel(pstate.screen, 5, 5, 3);
  EXPECT_EQ(screen(5, 5), 0);

  // Fill pattern bytes; 0x5f33 clears only bit 16 before OR-ing in.
  poke(0x5f31, 0x5a);
  poke(0x5f32, 0xa5);
  poke(0x5f33, 0x03);
  EXPECT_EQ(pstate.fill_pattern, 0x3a55a);
  poke(0x5f33, 0x00);
  EXPECT_EQ(pstate.fill_pattern, 0x2a55a);
  EXPECT_EQ(peek(0x5f33), 0x02);
  EXPECT_EQ(peek(0x5f32), 0xa5);

  // Audio masks keep 4 bits; the byte reads back whole.
  poke(0x5f40, 0xff);
  poke(0x5f43, 0x29);
  EXPECT_EQ(pstate.audio_mask[0].load(), 15);
  EXPECT_EQ(pstate.audio_mask[3].load(), 9);
  EXPECT_EQ(peek(0x5f40), 0xff);

  // Palettes, pen, cursor, draw mode read their fields; the rest the mirror.
  poke(0x5f03, 0x13);
  poke(0x5f1f, 0x8c);
  poke(0x5f25, 0x18);
  poke(0x5f26, 40);
  poke(0x5f2c, 3);
  EXPECT_EQ(pstate.draw_pal[3], 0x13);
  EXPECT_EQ(pstate.screen_pal[15], 0x8c);
  EXPECT_EQ(pstate.pen, 0x18);
  EXPECT_EQ(pstate.cursor_x, 40);
  EXPECT_EQ(pstate.draw_mode, 3);
  pstate.pen = 0x1e;
  EXPECT_EQ(peek(0x5f25), 0x1e);
  for (int32_t a : {0x5f24, 0x5f2d, 0x5f2e, 0x5f2f, 0x5f30, 0x5f34, 0x5f44, 0x5f50, 0x5f7f}) {
    poke(a, a & 0xff);
    EXPECT_EQ(peek(a), a & 0xff) << std::hex << a;
  }

  // The extended palette switch tests the four bytes at 0x5f60.
  EXPECT_EQ(orrery_extended_palette_enabled(&pstate), 0);
  for (int i = 0; i < 4; i++) poke(0x5f60 + i, k_extended_palette_code[i]);
  EXPECT_EQ(orrery_extended_palette_enabled(&pstate), 1);
  poke(0x5f63, k_extended_palette_code[3] ^ 1);
  EXPECT_EQ(orrery_extended_palette_enabled(&pstate), 0);

  // Defaults, as set when a program starts.
  pstate.cursor_y = 77;
  orrery_reset_registers(&pstate);
  EXPECT_EQ(peek(0x5f00), 16);
  EXPECT_EQ(peek(0x5f03), 3);
  EXPECT_EQ(peek(0x5f1f), 15);
  EXPECT_EQ(peek(0x5f20), 0);
  EXPECT_EQ(peek(0x5f22), 128);
  EXPECT_EQ(pstate.screen->cl, 0);
  EXPECT_EQ(pstate.screen->cb, 128);
  EXPECT_EQ(peek(0x5f25), 6);
  EXPECT_EQ(peek(0x5f26), 0);
  EXPECT_EQ(peek(0x5f27), 77);
  EXPECT_EQ(pstate.camera_x, 0);
  EXPECT_EQ(pstate.camera_y, 0);
  EXPECT_EQ(pstate.fill_pattern, 0);
  EXPECT_EQ(pstate.draw_mode, 0);
  EXPECT_EQ(pstate.audio_mask[0].load(), 0);
  EXPECT_EQ(peek(0x5f40), 0);
}

TEST_F(Memory, ScreenUserDataAndGpioBytes) {
  orrery_memset(&pstate, pstate.cart, 0x6000, 0x21, 8192);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) ASSERT_EQ(screen(x, y), x % 2 == 0 ? 1 : 2) << x << "," << y;
  pstate.screen->line[127][126] = 0x1f;  // a screen read keeps only colour bits
  pstate.screen->line[127][127] = 0x23;
  EXPECT_EQ(peek(0x7fff), 0x3f);

  poke(0x4300, 0x99);
  poke(0x5dff, 0x42);
  EXPECT_EQ(peek(0x4300), 0x99);
  EXPECT_EQ(peek(0x5dff), 0x42);
  EXPECT_EQ(pstate.ram[0x4300], 0x99);
  EXPECT_EQ(pstate.ram[0x1000], 0x00);
  poke(0x1000, 0x21);
  EXPECT_EQ(pstate.ram[0x1000], 0x21);  // every write reaches the mirror

  poke(0x5f80, 0xab);
  poke(0x5fff, 0x01);
  EXPECT_EQ(gpio_read(0), 0xab);
  EXPECT_EQ(gpio_read(127), 0x01);
  gpio_write(1, 0x1ff);
  EXPECT_EQ(peek(0x5f81), 0xff);
  EXPECT_EQ(gpio_read(128), 0);
  gpio_write(-1, 5);
}

TEST_F(Memory, MemcpyHandlesOverlapInBothDirections) {
  for (int32_t i = 0; i < 11; i++) poke(0x4300 + i, i + 1);
  orrery_memcpy(&pstate, pstate.cart, 0x4301, 0x4300, 10);
  for (int32_t i = 0; i < 11; i++) EXPECT_EQ(peek(0x4300 + i), i == 0 ? 1 : i) << i;

  for (int32_t i = 0; i < 11; i++) poke(0x4300 + i, i + 1);
  orrery_memcpy(&pstate, pstate.cart, 0x4300, 0x4301, 10);
  for (int32_t i = 0; i < 11; i++) EXPECT_EQ(peek(0x4300 + i), i == 10 ? 11 : i + 2) << i;

  // Across regions: screen bytes into the sprite sheet decode on the way.
  orrery_memset(&pstate, pstate.cart, 0x6000, 0x3c, 64);
  orrery_memcpy(&pstate, pstate.cart, 0x0000, 0x6000, 64);
  EXPECT_EQ(gfx(0, 0), 0xc);
  EXPECT_EQ(gfx(127, 0), 0x3);
}

TEST_F(Memory, BareCartridgeReachesOnlyTheCartridgeImage) {
  orrery_cart *cart = vell_create_orrery_cart();
  orrery_poke(nullptr, cart, 0x0001, 0x34);
  orrery_poke(nullptr, cart, 0x4300, 0x55);
  orrery_poke(nullptr, cart, 0x5f40, 0x0f);
  orrery_poke(nullptr, cart, 0x6000, 0x11);
  EXPECT_EQ(gfx(2, 0), 0);  // the live cartridge is untouched
  EXPECT_EQ(cart->gfx->line[0][2], 4);
  EXPECT_EQ(orrery_peek(nullptr, cart, 0x0001), 0x34);
  EXPECT_EQ(orrery_peek(nullptr, cart, 0x4300), 0);
  EXPECT_EQ(orrery_peek(nullptr, cart, 0x6000), 0);
  EXPECT_EQ(pstate.audio_mask[0].load(), 0);
  EXPECT_EQ(pstate.ram[0x4300], 0);
  EXPECT_TRUE(g_errors.empty());
  orrery_poke(nullptr, cart, 0x8000, 1);
  EXPECT_EQ(g_errors.size(), 1u);
  vell_destroy_orrery_cart(cart);
}

TEST_F(Memory, ReloadCopiesFromTheWorkingCartridge) {
  orrery_cart *work = vell_create_orrery_cart();
  orrery_set_working_cart(work);
  orrery_poke(nullptr, work, 0x0000, 0x12);
  orrery_poke(nullptr, work, 0x3000, 0x80);
  poke(0x4300, 0x77);
  poke(0x0001, 0x66);

  orrery_reload(&pstate, pstate.cart, 0, 0, 0x4300);
  EXPECT_EQ(peek(0x0000), 0x12);
  EXPECT_EQ(peek(0x0001), 0x00);
  EXPECT_EQ(peek(0x3000), 0x80);
  EXPECT_EQ(peek(0x3200 + 68 + 65), 16);
  EXPECT_EQ(peek(0x4300), 0x77);  // beyond the image: untouched

  // From 0x4300 on, and outside the space, the working cartridge reads 0;
  // destinations outside the space are reported and skipped.
  orrery_reload(&pstate, pstate.cart, 0x4300, 0x42ff, 2);
  EXPECT_EQ(peek(0x4300), 0x00);
  orrery_reload(&pstate, pstate.cart, 0x7fff, 0, 3);
  EXPECT_EQ(g_errors.size(), 2u);
  EXPECT_EQ(peek(0x7fff) & 15, 2);

  // A length below 1 copies nothing; it forgets the partial cartridge name
  // and starts the activity indicator.
  orrery_set_partial_cart_name("scores.q7");
  orrery_reload(&pstate, pstate.cart, 0, 0x3000, 0);
  EXPECT_STREQ(orrery_partial_cart_name(), "");
  EXPECT_EQ(pstate.busy_countdown, k_activity_frames);
  EXPECT_EQ(peek(0x0000), 0x12);

  // Releasing the working cartridge empties the slot; reload then copies nothing.
  vell_destroy_orrery_cart(work);
  EXPECT_EQ(orrery_working_cart(), nullptr);
  orrery_reload(&pstate, pstate.cart, 0, 0, 16);
  EXPECT_EQ(peek(0x0000), 0x12);
}

TEST_F(Memory, CstoreCopiesLiveMemoryIntoACartridge) {
  orrery_cart *target = vell_create_orrery_cart();
  poke(0x0000, 0x21);
  poke(0x3100, 0x85);
  poke(0x4300, 0x44);
  orrery_cstore(&pstate, target, 0x0000, 0x0000, 0x4300);
  EXPECT_EQ(orrery_peek(nullptr, target, 0x0000), 0x21);
  EXPECT_EQ(target->music[0].channel[0], 5);
  EXPECT_EQ(target->music[0].flags, 1);

  // User data lands nowhere in a cartridge; a destination outside the space is reported.
  orrery_cstore(&pstate, target, 0x2000, 0x4300, 1);
  EXPECT_EQ(target->map->line[0][0], 0x44);
  orrery_cstore(&pstate, target, 0x7fff, 0x4300, 2);
  EXPECT_EQ(g_errors.size(), 1u);
  vell_destroy_orrery_cart(target);
}

TEST(Machine, CreationAndClearingOwnTheScreenAndLiveCartridge) {
  const int32_t before = vell_bitmaps_alive();
  ASSERT_EQ(orrery_create_machine(), 0);
  ASSERT_NE(pstate.screen, nullptr);
  ASSERT_NE(pstate.cart, nullptr);
  EXPECT_EQ(pstate.screen->w, 128);
  EXPECT_EQ(pstate.screen->depth, 8);
  EXPECT_EQ(pstate.cart->sfx[1].speed, 16);
  EXPECT_EQ(pstate.pen, 6);
  EXPECT_EQ(vell_bitmaps_alive(), before + 3);  // screen, sprite sheet, map

  // Creating again replaces everything without leaking.
  pstate.ram[0x4300] = 1;
  pstate.mode = MODE_RUNNING;
  ASSERT_EQ(orrery_create_machine(), 0);
  EXPECT_EQ(pstate.ram[0x4300], 0);
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_EQ(vell_bitmaps_alive(), before + 3);

  // Releasing the live cartridge clears the machine's reference.
  orrery_cart *live = pstate.cart;
  vell_destroy_orrery_cart(live);
  EXPECT_EQ(pstate.cart, nullptr);
  EXPECT_EQ(orrery_peek(&pstate, pstate.cart, 0x0000), 0);
  orrery_poke(&pstate, pstate.cart, 0x0000, 1);
  ASSERT_EQ(orrery_new_live_cart(), 0);
  EXPECT_NE(pstate.cart, nullptr);

  orrery_clear_machine();
  EXPECT_EQ(pstate.screen, nullptr);
  EXPECT_EQ(pstate.cart, nullptr);
  EXPECT_EQ(vell_bitmaps_alive(), before);
}
