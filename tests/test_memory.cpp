// The 32 KB address space: every region's encoding, registers and their side
// effects, copies, and the live, bare and working cartridges.
#include "support/test.h"

namespace {

std::vector<std::string> g_errors;
void record_error(const char *message) { g_errors.push_back(message); }

// A fresh machine with its live cartridge; memory errors are collected.
class Memory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(orrery_create_machine(), 0);
    g_errors.clear();
    orrery_machine_hooks hooks;
    hooks.memory_error = record_error;
    orrery_machine_hooks_use(hooks);
  }
  void TearDown() override {
    orrery_machine_hooks_use({});
    orrery_clear_machine();
  }
  static int32_t peek(int32_t a) { return orrery_peek(&pstate, pstate.cart, a); }
  static void poke(int32_t a, int32_t v) { orrery_poke(&pstate, pstate.cart, a, v); }
  static void memset(int32_t a, int32_t v, int32_t n) { orrery_memset(&pstate, pstate.cart, a, v, n); }
  static void memcpy(int32_t d, int32_t s, int32_t n) { orrery_memcpy(&pstate, pstate.cart, d, s, n); }
  static int32_t gfx(int32_t x, int32_t y) { return pstate.cart->gfx->line[y][x]; }
  static int32_t map(int32_t x, int32_t y) { return pstate.cart->map->line[y][x]; }
  static int32_t screen(int32_t x, int32_t y) { return pstate.screen->line[y][x]; }
  static size_t errors() { return g_errors.size(); }
};

}  // namespace

TEST_F(Memory, AddressesOutsideTheSpaceReadZeroAndReportEachBadWrite) {
  poke(32768, 1);
  poke(-1, 1);
  ASSERT_EQ(g_errors, (std::vector<std::string>{"bad memory access", "bad memory access"}));
  g_errors.clear();
  memset(32766, 0x11, 4);  // two bytes in, two reported
  memcpy(-2, 32764, 4);
  poke(0x4300, 9);
  memcpy(0x4300, -1, 2);  // a source outside the space reads 0
  expect_rows({ROW(peek(-1), 0), ROW(peek(INT32_MIN), 0), ROW(errors(), 4), ROW(peek(32767), 0x11), ROW(peek(1), 0x11),
               ROW(peek(0x4300), 0)});
  // Lengths outside 1-32767 do nothing at all; a glitch's bad writes are silent.
  g_errors.clear();
  memset(0x4300, 5, 0);
  memset(0x4300, 5, 32768);
  memset(0x7fff, 5, -1);
  memcpy(0x4300, 0, 40000);
  orrery_cstore(&pstate, pstate.cart, 0x7fff, 0x4300, 40000);
  memset(0, 0x22, 32767);
  expect_rows({ROW(errors(), 0), ROW(peek(32766), 0x22), ROW(peek(32767), 0x11)});
  pstate.reset_glitch = 2;
  memset(32760, 1, 100);
  EXPECT_EQ(errors(), 0u);
}

TEST_F(Memory, SpriteSheetMapAndTheSharedQuarter) {
  poke(5 * 64 + 3, 0xab);  // row 5, pixels 6 and 7
  poke(0x1000, 0x21);
  poke(0x1fff, 0x9c);  // last shared byte: sprite row 127, map row 63
  poke(0x2000 + 3 * 128 + 17, 200);
  pstate.cart->map->line[32][5] = 0x77;  // reads of the shared quarter come from the sheet
  expect_rows({ROW(gfx(6, 5), 0xb), ROW(gfx(7, 5), 0xa), ROW(peek(5 * 64 + 3), 0xab), ROW(gfx(0, 64), 1),
               ROW(gfx(1, 64), 2), ROW(map(0, 32), 0x21), ROW(gfx(126, 127), 0xc), ROW(gfx(127, 127), 0x9),
               ROW(map(127, 63), 0x9c), ROW(peek(0x1005), 0), ROW(map(17, 3), 200), ROW(peek(0x2000 + 401), 200)});

  // Map rows win when any of them is set; with all zero the sprite rows
  // are copied the other way.
  orrery_cart *cart = pstate.cart;
  cart->map->line[33][70] = 0x5c;
  orrery_sync_shared_quarter(cart);
  expect_rows({ROW(gfx(12, 67), 0xc), ROW(gfx(13, 67), 0x5), ROW(gfx(0, 64), 1)});
  for (int32_t y = 32; y < 64; y++) std::fill(cart->map->line[y], cart->map->line[y] + 128, 0);
  cart->gfx->line[100][41] = 6;
  orrery_sync_shared_quarter(cart);
  EXPECT_EQ(map(20, 50), 0x60);  // pixel 41 of sprite row 100 is the high nibble
}

TEST_F(Memory, FlagMusicAndSoundBytesEncodeTheirFields) {
  orrery_cart *c = pstate.cart;
  c->music[5].flags = 0xf;
  const int32_t note = 0x3200 + 3 * 68 + 62;  // sound 3, note 31
  poke(0x3000 + 200, 0xf3);
  poke(0x3100, 0x81);
  poke(0x3100 + 5 * 4 + 2, 0x45);  // pattern 5, channel 2: clears only flag bit 2
  poke(0x3200, 0x21);              // note word 0x0c21: pitch 33, waveform 0, volume 6
  poke(0x3201, 0x0c);
  poke(note + 1, 0xff);  // waveform bit 2, volume, effect and the custom flag
  poke(note, 0xc5);
  const int32_t header[4] = {2, 0xfe, 8, 24};  // sound 63: editor mode, speed, loop start and end
  for (int32_t i = 0; i < 4; i++) poke(0x42fc + i, header[i]);
  expect_note(c->sfx[0].notes[0], 33, 0, 6, 0, 0);
  expect_note(c->sfx[3].notes[31], 5, 7, 7, 7, 128);
  expect_rows({ROW(c->flags[200], 0xf3), ROW(peek(0x3000 + 200), 0xf3), ROW(peek(0x3100), 0x81),
               ROW(c->music[0].channel[0], 1), ROW(c->music[0].flags, 1), ROW(c->music[5].channel[2], 0x45),
               ROW(c->music[5].flags, 0xb), ROW(peek(0x3100 + 5 * 4 + 3), 0xc4),
               ROW(peek(0x3100 + 63 * 4 + 1), 0x42) /* the empty default */, ROW(peek(note), 0xc5),
               ROW(peek(note + 1), 0xff), ROW(c->sfx[63].editor_mode, 2), ROW(c->sfx[63].speed, 0xfe),
               ROW(c->sfx[63].loop_start, 8), ROW(c->sfx[63].loop_end, 24), ROW(peek(0x3200 + 65), 1),
               ROW(peek(0x3200 + 68 + 65), 16)});
  // The even byte keeps waveform bit 2; the odd byte carries it.
  poke(note, 0x01);
  EXPECT_EQ(c->sfx[3].notes[31].waveform, 4);
  poke(note + 1, 0x00);
  expect_rows({ROW(c->sfx[3].notes[31].waveform, 0), ROW(c->sfx[3].notes[31].custom, 0)});
}

TEST_F(Memory, RegistersApplyTheirSideEffects) {
  const std::pair<int32_t, int32_t> pokes[] = {
      {0x5f29, 0x01}, {0x5f28, 0x80}, {0x5f2a, 0xff}, {0x5f2b, 0xff},  // camera: the high byte is signed
      {0x5f20, 10},   {0x5f23, 200},                                   // clip, applied to the screen at once
      {0x5f31, 0x5a}, {0x5f32, 0xa5}, {0x5f33, 0x03}, {0x5f33, 0x00},  // fill pattern: 0x5f33 clears only bit 16
      {0x5f40, 0xff}, {0x5f43, 0x29},                                  // audio masks keep 4 bits
      {0x5f03, 0x13}, {0x5f1f, 0x8c}, {0x5f25, 0x18}, {0x5f26, 40},   {0x5f2c, 3}};
  for (const auto &[a, v] : pokes) poke(a, v);
  vell_putpixel(pstate.screen, 5, 5, 3);
  expect_rows({ROW(pstate.camera_x, 384), ROW(pstate.camera_y, -1), ROW(peek(0x5f28), 0x80), ROW(pstate.screen->cl, 10),
               ROW(pstate.screen->cb, 128), ROW(peek(0x5f23), 200), ROW(screen(5, 5), 0),
               ROW(pstate.fill_pattern, 0x2a55a), ROW(peek(0x5f33), 0x02), ROW(peek(0x5f32), 0xa5),
               ROW(pstate.audio_mask[0].load(), 15), ROW(pstate.audio_mask[3].load(), 9)});
  expect_rows({ROW(peek(0x5f40), 0xff), ROW(pstate.draw_pal[3], 0x13), ROW(pstate.screen_pal[15], 0x8c),
               ROW(pstate.pen, 0x18), ROW(pstate.cursor_x, 40), ROW(pstate.draw_mode, 3)});
  // Fields read back as the drawing functions left them, negatives included.
  pstate.pen = 0x1e;
  pstate.camera_x = -1;
  expect_rows({ROW(peek(0x5f25), 0x1e), ROW(peek(0x5f28), 0xff), ROW(peek(0x5f29), 0xff)});

  // Defaults, as set when a program starts; the cursor row stays.
  pstate.cursor_y = 77;
  orrery_reset_registers(&pstate);
  expect_rows({ROW(peek(0x5f00), 16), ROW(peek(0x5f03), 3), ROW(peek(0x5f1f), 15), ROW(peek(0x5f20), 0),
               ROW(peek(0x5f22), 128), ROW(pstate.screen->cl, 0), ROW(pstate.screen->cb, 128), ROW(peek(0x5f25), 6),
               ROW(peek(0x5f26), 0), ROW(peek(0x5f27), 77), ROW(pstate.camera_x, 0), ROW(pstate.fill_pattern, 0)});
  expect_rows({ROW(pstate.draw_mode, 0), ROW(peek(0x5f40), 0)});
}

TEST_F(Memory, ScreenUserDataGpioAndCopiesInBothDirections) {
  memset(0x6000, 0x21, 8192);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) ASSERT_EQ(screen(x, y), x % 2 == 0 ? 1 : 2) << x << "," << y;
  pstate.screen->line[127][126] = 0x1f;  // a screen read keeps only colour bits
  pstate.screen->line[127][127] = 0x23;
  poke(0x5dff, 0x42);
  poke(0x1000, 0x21);
  poke(0x5f80, 0xab);
  gpio_write(1, 0x1ff);
  gpio_write(-1, 5);
  expect_rows({ROW(peek(0x7fff), 0x3f), ROW(peek(0x5dff), 0x42), ROW(pstate.ram[0x5dff], 0x42),
               ROW(pstate.ram[0x1000], 0x21) /* every write reaches the mirror */, ROW(gpio_read(0), 0xab),
               ROW(peek(0x5f81), 0xff), ROW(gpio_read(128), 0)});

  // Overlapping copies in both directions, and screen bytes decoded into the sheet.
  for (int32_t i = 0; i < 11; i++) poke(0x4300 + i, i + 1);
  memcpy(0x4301, 0x4300, 10);
  memcpy(0x4300, 0x4301, 5);
  expect_rows({ROW(peek(0x4300), 1), ROW(peek(0x4301), 2), ROW(peek(0x4305), 5), ROW(peek(0x430a), 10)});
  memset(0x6000, 0x3c, 64);
  memcpy(0x0000, 0x6000, 64);
  expect_rows({ROW(gfx(0, 0), 0xc), ROW(gfx(127, 0), 0x3)});
}

TEST_F(Memory, BareReloadAndCstoreReachOnlyTheirCartridges) {
  // A bare cartridge (no machine) holds only the cartridge image.
  cart_ptr bare(vell_create_orrery_cart());
  orrery_poke(nullptr, bare.get(), 0x0001, 0x34);
  orrery_poke(nullptr, bare.get(), 0x4300, 0x55);
  orrery_poke(nullptr, bare.get(), 0x5f40, 0x0f);
  expect_rows({ROW(gfx(2, 0), 0), ROW(bare->gfx->line[0][2], 4), ROW(orrery_peek(nullptr, bare.get(), 0x4300), 0),
               ROW(pstate.audio_mask[0].load(), 0), ROW(pstate.ram[0x4300], 0), ROW(errors(), 0)});

  // reload copies from the working cartridge; beyond its image it reads 0
  // and destinations outside the space are reported.
  orrery_cart *work = vell_create_orrery_cart();
  orrery_set_working_cart(work);
  orrery_poke(nullptr, work, 0x0000, 0x12);
  orrery_poke(nullptr, work, 0x3000, 0x80);
  poke(0x4300, 0x77);
  poke(0x0001, 0x66);
  orrery_reload(&pstate, pstate.cart, 0, 0, 0x4300);
  expect_rows({ROW(peek(0x0000), 0x12), ROW(peek(0x0001), 0), ROW(peek(0x3000), 0x80), ROW(peek(0x4300), 0x77)});
  orrery_reload(&pstate, pstate.cart, 0x4300, 0x42ff, 2);
  orrery_reload(&pstate, pstate.cart, 0x7fff, 0, 3);
  expect_rows({ROW(peek(0x4300), 0), ROW(errors(), 2), ROW(peek(0x7fff) & 15, 2)});
  // A length below 1 copies nothing, forgets the partial name and starts the activity indicator.
  orrery_set_partial_cart_name("scores.q7");
  orrery_reload(&pstate, pstate.cart, 0, 0x3000, 0);
  EXPECT_STREQ(orrery_partial_cart_name(), "");
  EXPECT_EQ(pstate.busy_countdown, k_activity_frames);
  // Releasing the working cartridge empties the slot; reload then copies nothing.
  vell_destroy_orrery_cart(work);
  EXPECT_EQ(orrery_working_cart(), nullptr);
  orrery_reload(&pstate, pstate.cart, 0, 0, 16);
  EXPECT_EQ(peek(0x0000), 0x12);

  // cstore copies live memory into a cartridge; user data lands nowhere.
  poke(0x3100, 0x85);
  poke(0x4300, 0x44);
  orrery_cstore(&pstate, bare.get(), 0x0000, 0x0000, 0x4300);
  orrery_cstore(&pstate, bare.get(), 0x2000, 0x4300, 1);
  g_errors.clear();
  orrery_cstore(&pstate, bare.get(), 0x7fff, 0x4300, 2);
  expect_rows({ROW(orrery_peek(nullptr, bare.get(), 0), 0x12), ROW(bare->music[0].channel[0], 5),
               ROW(bare->music[0].flags, 1), ROW(bare->map->line[0][0], 0x44), ROW(errors(), 1)});
}
