// The sound and music notation: every value a cartridge holds survives
// export and import, the notation reads as written, and faulty text is
// refused with its line and word, leaving the cartridge as it was.
#include "support/test.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/sound_text.h"

namespace {

void expect_same_sound(const orrery_cart *a, const orrery_cart *b, const std::string &where) {
  for (int s = 0; s < k_cart_sfx_count; s++) {
    const orrery_sfx &x = a->sfx[s], &y = b->sfx[s];
    ASSERT_EQ(x.editor_mode, y.editor_mode) << where << " sound " << s;
    ASSERT_EQ(x.speed, y.speed) << where << " sound " << s;
    ASSERT_EQ(x.loop_start, y.loop_start) << where << " sound " << s;
    ASSERT_EQ(x.loop_end, y.loop_end) << where << " sound " << s;
    for (int i = 0; i < k_cart_notes; i++) {
      const orrery_note &m = x.notes[i], &n = y.notes[i];
      ASSERT_TRUE(m.pitch == n.pitch && m.waveform == n.waveform && m.volume == n.volume && m.effect == n.effect &&
                  m.custom == n.custom)
          << where << " sound " << s << " note " << i;
    }
  }
  for (int p = 0; p < k_cart_pattern_count; p++) {
    ASSERT_EQ(a->music[p].flags, b->music[p].flags) << where << " pattern " << p;
    for (int c = 0; c < 4; c++) ASSERT_EQ(a->music[p].channel[c], b->music[p].channel[c]) << where << " pattern " << p;
  }
}

// Formats the sounds and patterns, reads them into an empty cartridge
// through real files, and compares.
void expect_round_trip(const orrery_cart *cart, const std::string &where) {
  temp_folder dir;
  std::string m;
  ASSERT_EQ(cartkit_sfx_export(cart, dir / "sfx.txt", &m), CARTKIT_OK) << m;
  ASSERT_EQ(cartkit_music_export(cart, dir / "music.txt", &m), CARTKIT_OK) << m;
  cart_ptr back(vell_create_orrery_cart());
  ASSERT_EQ(cartkit_sfx_import(back.get(), dir / "sfx.txt", &m), CARTKIT_OK) << where << ": " << m;
  ASSERT_EQ(cartkit_music_import_text(back.get(), dir / "music.txt", &m), CARTKIT_OK) << where << ": " << m;
  expect_same_sound(cart, back.get(), where);
}

}  // namespace

TEST(SoundText, BundledCartridgesRoundTrip) {
  int carts = 0;
  for (const std::string &path : bundled_cart_paths()) {
    cart_ptr cart(vell_load_orrery_cart(path.c_str()));
    ASSERT_TRUE(cart) << path;
    expect_round_trip(cart.get(), path);
    carts++;
  }
  EXPECT_GE(carts, 10);
}

TEST(SoundText, EveryValueRoundTrips) {
  std::mt19937 rng(28);
  auto any = [&](int n) { return static_cast<int32_t>(rng() % n); };
  cart_ptr cart(vell_create_orrery_cart());
  for (int s = 0; s < k_cart_sfx_count; s++) {
    orrery_sfx &sfx = cart->sfx[s];
    sfx = orrery_sfx{any(256), any(256), any(256), any(256), {}};
    if (s % 8 == 0) continue;  // some sounds keep their empty notes
    for (int i = 0; i < k_cart_notes; i++) {
      // Runs of equal notes and rests, so repeats are written too.
      if (i > 0 && any(3) == 0) sfx.notes[i] = sfx.notes[i - 1];
      else if (any(5) > 0) sfx.notes[i] = orrery_note{any(64), any(8), any(8), any(8), any(2) * 128};
    }
  }
  for (orrery_pattern &p : cart->music) p = orrery_pattern{{any(256), any(256), any(256), any(256)}, any(256)};
  cart->music[5] = orrery_pattern{{0x41, 0x42, 0x43, 0x44}, 0};  // the default pattern, not written
  expect_round_trip(cart.get(), "random values");
}

TEST(SoundText, NotationReadsAsWritten) {
  cart_ptr cart(vell_create_orrery_cart());
  std::string m;
  ASSERT_EQ(cartkit_parse_sfx("# a comment\n"
                              "sfx 3 speed 12 loop 1 4 mode 2 wave saw vol 6 # c#3 here is a comment\n"
                              "c3 c#3/v7/vib Eb3*2 . p40/i2 fx drop a4 wave i7 d#7/noise/none\n"
                              "sfx 9\nc2/v0\n",
                              cart.get(), &m),
            CARTKIT_OK)
      << m;
  EXPECT_EQ(m, "sounds 3, 9 replaced");
  const orrery_sfx &s = cart->sfx[3];
  expect_rows({ROW(s.speed, 12), ROW(s.loop_start, 1), ROW(s.loop_end, 4), ROW(s.editor_mode, 2),
               ROW(cart->sfx[9].speed, 16), ROW(cart->sfx[2].speed, 16), ROW(cart->sfx[0].speed, 1)});
  expect_note(s.notes[0], 12, 2, 6, 0, 0);
  expect_note(s.notes[1], 13, 2, 7, 2, 0);
  expect_note(s.notes[2], 15, 2, 6, 0, 0);
  expect_note(s.notes[3], 15, 2, 6, 0, 0);
  expect_note(s.notes[4], 0, 0, 0, 0, 0);
  expect_note(s.notes[5], 40, 2, 6, 0, 128);
  expect_note(s.notes[6], 33, 2, 6, 3, 0);
  expect_note(s.notes[7], 63, 6, 6, 0, 0);
  expect_note(s.notes[8], 0, 0, 0, 0, 0);

  ASSERT_EQ(cartkit_parse_music("0 l 16 17 18 19\n 7 bsx - -5 0x90 63\n", cart.get(), &m), CARTKIT_OK) << m;
  EXPECT_EQ(m, "patterns 0, 7 replaced");
  const orrery_pattern &p = cart->music[7];
  expect_rows({ROW(cart->music[0].flags, 1), ROW(cart->music[0].channel[3], 19), ROW(p.flags, 14),
               ROW(p.channel[0], 0x41), ROW(p.channel[1], 0x45), ROW(p.channel[2], 0x90), ROW(p.channel[3], 63),
               ROW(cart->music[1].channel[2], 0x43)});

  // What export writes for a short sound and two patterns.
  cart_ptr small(vell_create_orrery_cart());
  ASSERT_EQ(cartkit_parse_sfx("sfx 1 speed 2\nc3*9 c3/v2/square\n", small.get(), &m), CARTKIT_OK);
  ASSERT_EQ(cartkit_parse_music("2 b 1 - 2 -7\n", small.get(), &m), CARTKIT_OK);
  const std::string sfx = cartkit_format_sfx(small.get());
  EXPECT_EQ(sfx.substr(sfx.find("\nsfx")), "\nsfx 1 speed 2 wave tri vol 5\nc3*8\nc3 c3/square/v2\n");
  const std::string music = cartkit_format_music(small.get());
  EXPECT_EQ(music.substr(music.find('\n') + 1), " 2 b      1   -   2  -7\n");
}

TEST(SoundText, FaultsNameLineAndWordAndChangeNothing) {
  const std::pair<std::string, std::string> sfx_cases[] = {
      {"c3", "line 1: 'c3': comes before the first 'sfx N' line"},
      {"sfx 64", "line 1: '64': not a sound number 0-63"},
      {"sfx", "line 1: 'sfx': needs a sound number 0-63"},
      {"# notes\nsfx 1\n  c3 # fine\nc9", "line 4: 'c9': pitch out of range (c2 to d#7, or p0 to p63)"},
      {"sfx 1\ncb2", "line 2: 'cb2': pitch out of range"},
      {"sfx 1\np64", "line 2: 'p64': pitch out of range"},
      {"sfx 1\nc3*33", "line 2: 'c3*33': a repeat count is *1 to *32"},
      {"sfx 1\nc3*20 d3*13", "line 2: 'd3*13': sound 1 would have more than 32 notes"},
      {"sfx 1 wave sine", "line 1: 'sine': not a waveform"},
      {"sfx 1 fx wobble", "line 1: 'wobble': not an effect"},
      {"sfx 1 vol 8", "line 1: '8': not a volume (0-7)"},
      {"sfx 1\nc3/v8", "line 2: 'c3/v8': 'v8' is not a waveform, i0-i7, v0-v7 or an effect"},
      {"sfx 1\nc3/i8", "line 2: 'c3/i8': 'i8' is not a waveform"},
      {"sfx 1 speed 256", "line 1: '256': not a number 0-255"},
      {"sfx 1 loop 3", "line 1: 'loop': needs two numbers on its line"},
      {"sfx 1 loop 3 x", "line 1: 'x': not a number 0-255"},
      {"sfx 1\nspeed", "line 2: 'speed': needs a value on its line"},
      {"sfx 1\nsfx 1", "line 2: '1': sound 1 is already given on line 1"},
      {"sfx 2\nhello", "line 2: 'hello': not a note, a rest or a setting"},
      {"sfx 2\n./v3", "line 2: './v3': a rest takes no settings"},
      {"sfx 1 speed 9\nc3\nsfx 2\nq", "line 4: 'q': not a note"},  // sound 1 is not written either
  };
  const std::pair<std::string, std::string> music_cases[] = {
      {"0 l 1 2 3", "line 1: '0': a pattern line is: PATTERN FLAGS C0 C1 C2 C3 (5 words here)"},
      {"64 - 1 2 3 4", "line 1: '64': not a pattern number 0-63"},
      {"\n0 q 1 2 3 4", "line 2: 'q': flags are"},
      {"0 ll 1 2 3 4", "line 1: 'll': flags are"},
      {"0 - 64 1 2 3", "line 1: '64': a channel is"},
      {"0 - 1 -64 2 3", "line 1: '-64': a channel is"},
      {"0 - 1 2 3 0x1g", "line 1: '0x1g': a channel is"},
      {"1 - 1 2 3 4\n1 - 1 2 3 4", "line 2: '1': pattern 1 is already given on line 1"},
      {"0 - 1 2 3 4\n2 x 1 2 3", "line 2: '2': a pattern line is"},
  };
  cart_ptr cart(vell_create_orrery_cart());
  std::string m;
  ASSERT_EQ(cartkit_parse_sfx("sfx 1 speed 3\nc3 d3\nsfx 2\ne4", cart.get(), &m), CARTKIT_OK);
  ASSERT_EQ(cartkit_parse_music("0 l 1 2 - -", cart.get(), &m), CARTKIT_OK);
  const std::string before = save_q7_text(cart.get());
  auto check = [&](const std::pair<std::string, std::string> &c, int result, const std::string &got) {
    EXPECT_EQ(result, CARTKIT_REFUSED) << c.first;
    EXPECT_EQ(got.compare(0, c.second.size(), c.second), 0) << "got: " << got << "\nwant: " << c.second;
    EXPECT_EQ(save_q7_text(cart.get()), before) << c.first;
  };
  for (const auto &c : sfx_cases) check(c, cartkit_parse_sfx(c.first, cart.get(), &m), m);
  for (const auto &c : music_cases) check(c, cartkit_parse_music(c.first, cart.get(), &m), m);
  temp_folder dir;
  write_file(dir / "bad.txt", "sfx 1\nc3 q\n");
  EXPECT_EQ(cartkit_sfx_import(cart.get(), dir / "bad.txt", &m), CARTKIT_REFUSED);
  EXPECT_EQ(m, dir / "bad.txt" + ": line 2: 'q': not a note, a rest or a setting");
  EXPECT_EQ(cartkit_sfx_import(cart.get(), dir / "none.txt", &m), CARTKIT_IO);
  EXPECT_EQ(save_q7_text(cart.get()), before);
}
