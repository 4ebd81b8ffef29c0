#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "support/cart_support.h"

namespace {

std::string header(int version) { return "orrery cartridge // test\nversion " + std::to_string(version) + "\n"; }
const std::string k_head = header(12);

cart_ptr load(const std::string &text) { return cart_ptr(load_q7_text(text)); }

void expect_same_cart(const orrery_cart *a, const orrery_cart *b) {
  EXPECT_STREQ(a->code, b->code);
  for (int32_t y = 0; y < 128; y++)
    ASSERT_EQ(memcmp(a->gfx->line[y], b->gfx->line[y], 128), 0) << "sprite row " << y;
  for (int32_t y = 0; y < 64; y++)
    ASSERT_EQ(memcmp(a->map->line[y], b->map->line[y], 128), 0) << "map row " << y;
  EXPECT_EQ(memcmp(a->flags, b->flags, sizeof a->flags), 0);
  for (int32_t s = 0; s < 64; s++) ASSERT_EQ(memcmp(&a->sfx[s], &b->sfx[s], sizeof a->sfx[s]), 0) << "sound " << s;
  for (int32_t p = 0; p < 64; p++)
    ASSERT_EQ(memcmp(&a->music[p], &b->music[p], sizeof a->music[p]), 0) << "pattern " << p;
  ASSERT_EQ(a->label != nullptr, b->label != nullptr);
  if (a->label) {
    for (int32_t y = 0; y < 128; y++) ASSERT_EQ(memcmp(a->label->line[y], b->label->line[y], 128), 0) << "label row " << y;
  }
}

std::string zeros(size_t n) { return std::string(n, '0'); }

const orrery_cart *g_released = nullptr;
void note_release(const orrery_cart *c) { g_released = c; }

}  // namespace

TEST(CartText, EmptyCartridgeAndAFileWithOnlyTheHeader) {
  cart_ptr empty(vell_create_orrery_cart());
  ASSERT_TRUE(empty);
  EXPECT_STREQ(empty->code, "");
  EXPECT_EQ(empty->label, nullptr);
  EXPECT_EQ(empty->version, 0);
  EXPECT_EQ(empty->sfx[0].speed, 1);
  for (int32_t s = 1; s < 64; s++) ASSERT_EQ(empty->sfx[s].speed, 16);
  EXPECT_EQ(empty->sfx[5].loop_end, 0);
  EXPECT_EQ(empty->sfx[5].notes[7].volume, 0);
  for (const orrery_pattern &p : empty->music) {
    EXPECT_EQ(p.channel[0], 0x41);
    EXPECT_EQ(p.channel[3], 0x44);
    EXPECT_EQ(p.flags, 0);
  }
  EXPECT_EQ(empty->flags[255], 0);

  cart_ptr loaded = load(k_head);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->version, 12);
  loaded->version = 0;
  expect_same_cart(empty.get(), loaded.get());

  // Release tells the audio hook first.
  orrery_set_cart_release_hook(note_release);
  orrery_cart *raw = empty.release();
  vell_destroy_orrery_cart(raw);
  EXPECT_EQ(g_released, raw);
  orrery_set_cart_release_hook(nullptr);
}

TEST(CartText, HeaderLinesDecideWhetherAndHowTheFileLoads) {
  orrery_set_future_version_status(0);
  EXPECT_FALSE(load("orrery cartridgX // x\nversion 12\n__lua__\nx\n"));
  EXPECT_FALSE(load("\norrery cartridge\n"));
  EXPECT_FALSE(load(""));
  EXPECT_EQ(orrery_future_version_status(), 0);

  cart_ptr bare = load("orrery cartridge");  // no end mark, no version line
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->version, 0);

  EXPECT_FALSE(load(header(13) + "__lua__\nx=1\n"));
  EXPECT_EQ(orrery_future_version_status(), 1);
  orrery_set_future_version_status(0);
  EXPECT_FALSE(load("orrery cartridge\nversion 99999999999999\n"));
  EXPECT_EQ(orrery_future_version_status(), 1);
  orrery_set_future_version_status(0);

  cart_ptr v12 = load(header(12));
  ASSERT_TRUE(v12);
  EXPECT_EQ(v12->version, 12);
  cart_ptr missing = load("orrery cartridge\nversion\n");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->version, 0);
  cart_ptr other = load("orrery cartridge\nsomething else\n");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->version, 0);
  cart_ptr old = load("orrery cartridge\nversion -4\n");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->version, -4);
  EXPECT_EQ(orrery_future_version_status(), 0);
}

TEST(CartText, LineEndsAndTheLastLineWithoutAnEndMark) {
  cart_ptr c = load(k_head + "__lua__\r\na\rb\r\n\nc\n__gfx__\r1\r\n2\n3");
  ASSERT_TRUE(c);
  EXPECT_STREQ(c->code, "a\nb\n\nc");
  EXPECT_EQ(c->gfx->line[0][0], 1);
  EXPECT_EQ(c->gfx->line[1][0], 2);
  EXPECT_EQ(c->gfx->line[2][0], 0);  // "3" had no end mark: dropped

  cart_ptr d = load(k_head + "__lua__\nkept\ndropped");
  ASSERT_TRUE(d);
  EXPECT_STREQ(d->code, "kept");
  cart_ptr e = load(k_head + "__lua__\nlast\r");  // a lone CR still ends the line
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->code, "last");
  // Text before the first marker is ignored.
  cart_ptr f = load(k_head + "stray\n00ff\n__lua__\nx\n");
  ASSERT_TRUE(f);
  EXPECT_STREQ(f->code, "x");
}

TEST(CartText, CodeSectionStaysBelow65536Characters) {
  // 65 lines of 999 characters (65000 with their newlines); a 66th does not
  // fit, a later 500-character line does, and so does a final 34-character
  // one that brings the code to exactly 65536 before the last newline goes.
  std::string text = k_head + "__lua__\n";
  for (int i = 0; i < 65; i++) text += std::string(999, char('a' + i % 26)) + "\n";
  text += std::string(999, 'Z') + "\n";
  text += std::string(500, 'm') + "\n";
  text += std::string(40, 'X') + "\n";
  text += std::string(34, 'y') + "\n";
  text += "__gfx__\n";
  cart_ptr c = load(text);
  ASSERT_TRUE(c);
  const std::string code = c->code;
  EXPECT_EQ(code.size(), 65535u);
  EXPECT_EQ(code.find('Z'), std::string::npos);
  EXPECT_EQ(code.find('X'), std::string::npos);
  EXPECT_EQ(code.substr(65000, 500), std::string(500, 'm'));
  EXPECT_EQ(code.substr(65501), std::string(34, 'y'));

  // A line longer than 65535 characters keeps its first 65535; the rest is
  // not read as a line of its own.
  std::string longline = k_head + "__gfx__\n" + std::string(65535, 'a') + std::string(5000, '1') + "\n2\n";
  cart_ptr g = load(longline);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->gfx->line[0][127], 10);
  EXPECT_EQ(g->gfx->line[1][0], 2);
  cart_ptr h = load(k_head + "__lua__\n" + std::string(70000, 'q') + "\n");
  ASSERT_TRUE(h);
  EXPECT_EQ(strlen(h->code), 65535u);
}

TEST(CartText, PictureSectionsDecodeLowerCaseDigitsOnly) {
  cart_ptr c = load(k_head + "__gfx__\n0aF9g-\n__label__\n" + zeros(127) + "e\n__map__\n" + zeros(254) + "Ab\n" +
                    std::string(63, '\n') /* rows 1-63 empty */ + "ff\n");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->gfx->line[0][0], 0);
  EXPECT_EQ(c->gfx->line[0][1], 10);
  EXPECT_EQ(c->gfx->line[0][2], 0);  // upper case
  EXPECT_EQ(c->gfx->line[0][3], 9);
  EXPECT_EQ(c->gfx->line[0][4], 0);
  ASSERT_NE(c->label, nullptr);
  EXPECT_EQ(c->label->line[0][127], 14);
  EXPECT_EQ(c->map->line[0][127], 0x0b);  // "Ab": A reads as 0
  EXPECT_EQ(c->map->line[63][0], 0);      // 64 rows are read, the 65th is past the limit

  std::string map64 = k_head + "__map__\n";
  for (int y = 0; y < 64; y++) map64 += (y < 16 ? "0" : "") + [&] {
      std::ostringstream s;
      s << std::hex << y;
      return s.str();
    }() + "\n";
  cart_ptr m = load(map64);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->map->line[63][0], 63);
  EXPECT_EQ(m->map->line[40][0], 40);

  // Sprite flags: one digit per flag before version 3, two from version 3.
  const std::string gff = "__gff__\n1a0\n" + zeros(255) + "7\nff\n";
  cart_ptr v2 = load(header(2) + gff);
  ASSERT_TRUE(v2);
  EXPECT_EQ(v2->flags[0], 1);
  EXPECT_EQ(v2->flags[1], 10);
  EXPECT_EQ(v2->flags[128 + 127], 0);
  cart_ptr v3 = load(header(3) + gff);
  ASSERT_TRUE(v3);
  EXPECT_EQ(v3->flags[0], 0x1a);
  EXPECT_EQ(v3->flags[1], 0x00);
  EXPECT_EQ(v3->flags[128 + 127], 7);

  cart_ptr nolabel = load(k_head + "__gfx__\n1\n");
  EXPECT_EQ(nolabel->label, nullptr);
}

TEST(CartText, SoundAndMusicLinesAreScannedFieldByField) {
  // Header 00 10 zz ..: the scan stops at zz, loops keep their defaults.
  cart_ptr c = load(k_head + "__sfx__\n0010zz08" + "0c8f3" + "1C53A" + "3" + "g" + "000\n" + "\n" + "02\n");
  ASSERT_TRUE(c);
  const orrery_sfx &s = c->sfx[0];
  EXPECT_EQ(s.speed, 0x10);
  EXPECT_EQ(s.loop_start, 0);
  EXPECT_EQ(s.loop_end, 0);
  // 0c8f3: pitch 12, waveform 0 with the custom flag, volume 7, effect 3.
  expect_note(s.notes[0], 12, 0, 7, 3, 128);
  // Upper-case digits scan; effect digit A has bit 3: custom, effect 2.
  expect_note(s.notes[1], 0x1c, 5, 3, 2, 128);
  // "3g000": pitch 3 from a single digit, then the scan stops.
  expect_note(s.notes[2], 3, 0, 0, 0, 0);
  // Pitch keeps its low 6 bits.
  cart_ptr p = load(k_head + "__sfx__\n00000000ff000\n");
  EXPECT_EQ(p->sfx[0].notes[0].pitch, 63);
  // An empty line leaves sound 1 at its defaults; sound 2's speed is scanned.
  EXPECT_EQ(c->sfx[1].speed, 16);
  EXPECT_EQ(c->sfx[2].editor_mode, 2);
  EXPECT_EQ(c->sfx[2].speed, 16);

  // Music: flags and channel values by version; 0 means channel-off below version 4.
  cart_ptr v3 = load(header(3) + "__music__\n00 00010203\n05 ff\n");
  ASSERT_TRUE(v3);
  EXPECT_EQ(v3->music[0].channel[0], 0x41);
  EXPECT_EQ(v3->music[0].channel[1], 1);
  EXPECT_EQ(v3->music[0].channel[3], 3);
  EXPECT_EQ(v3->music[1].flags, 5);
  EXPECT_EQ(v3->music[1].channel[0], 0xff);
  EXPECT_EQ(v3->music[1].channel[1], 0x42);  // not reached: default
  cart_ptr v4 = load(header(4) + "__music__\n00 00010203\n");
  EXPECT_EQ(v4->music[0].channel[0], 0);
  cart_ptr v2 = load(header(2) + "__music__\n00010243\n");
  EXPECT_EQ(v2->music[0].flags, 0);
  EXPECT_EQ(v2->music[0].channel[0], 0x41);
  EXPECT_EQ(v2->music[0].channel[1], 1);
  EXPECT_EQ(v2->music[0].channel[3], 0x43);
}

TEST(CartText, SaverWritesTheExactLayout) {
  cart_ptr c(vell_create_orrery_cart());
  strcpy(c->code, "-- hi\nprint(1)");
  std::string expected = "orrery cartridge // " + std::string(k_cart_text_address) + "\nversion 12\n__lua__\n-- hi\nprint(1)\n";
  expected += "__gfx__\n";
  for (int i = 0; i < 128; i++) expected += zeros(128) + "\n";
  expected += "\n__gff__\n";
  for (int i = 0; i < 2; i++) expected += zeros(256) + "\n";
  expected += "__map__\n";
  for (int i = 0; i < 32; i++) expected += zeros(256) + "\n";
  expected += "__sfx__\n";
  for (int i = 0; i < 64; i++) expected += (i == 0 ? "00010000" : "00100000") + zeros(160) + "\n";
  expected += "__music__\n";
  for (int i = 0; i < 64; i++) expected += "00 41424344\n";
  expected += "\n";
  EXPECT_EQ(save_q7_text(c.get()), expected);
}

TEST(CartText, SaverClampsValuesAndDropsTrailingEmptySounds) {
  cart_ptr c(vell_create_orrery_cart());
  c->gfx->line[0][0] = 20;
  c->gfx->line[0][1] = 0xc;
  c->flags[1] = 0x1ab;
  c->map->line[31][127] = 0xfe;
  c->sfx[0] = orrery_sfx{};
  c->sfx[0].speed = 300;
  c->sfx[0].loop_start = -5;
  c->sfx[0].notes[0] = orrery_note{70, 9, 12, -1, 128};
  c->sfx[0].notes[1] = orrery_note{-3, 2, 3, 4, 0};
  for (int32_t s = 3; s < 64; s++) c->sfx[s] = orrery_sfx{};
  c->sfx[1].speed = 0;
  c->sfx[1].notes[31].effect = 1;  // one field keeps it from being empty
  c->music[2].flags = 0xb;
  c->music[2].channel[1] = 300;
  c->label = vell_create_bitmap(128, 128, 8);  // all zero: not written

  const std::string text = save_q7_text(c.get());
  std::istringstream in(text);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  EXPECT_EQ(text.find("__label__"), std::string::npos);
  const size_t gfx = std::find(lines.begin(), lines.end(), "__gfx__") - lines.begin();
  EXPECT_EQ(lines[gfx + 1].substr(0, 3), "fc0");
  const size_t gff = std::find(lines.begin(), lines.end(), "__gff__") - lines.begin();
  EXPECT_EQ(lines[gff - 1], "");
  EXPECT_EQ(lines[gff + 1].substr(0, 4), "00ab");
  const size_t map = std::find(lines.begin(), lines.end(), "__map__") - lines.begin();
  EXPECT_EQ(lines[map + 32].substr(252), "00fe");
  EXPECT_EQ(lines[map + 33], "__sfx__");
  const size_t sfx = map + 33;
  // Sounds 0-2 are written (sound 2 still has speed 16); 3-63 are empty.
  EXPECT_EQ(lines[sfx + 4], "__music__");
  EXPECT_EQ(lines[sfx + 1].substr(0, 8 + 10), "00ff0000" "46f70" "00234");
  EXPECT_EQ(lines[sfx + 1].size(), 168u);
  EXPECT_EQ(lines[sfx + 2].substr(0, 8), "00000000");
  EXPECT_EQ(lines[sfx + 2].substr(163), "00001");
  EXPECT_EQ(lines[sfx + 4 + 3], "0b 41ff4344");
  EXPECT_EQ(lines.back(), "");

  // A label with one non-zero pixel is written right after the sprites;
  // pixel values above 15 are written as f there too.
  c->label->line[127][0] = 99;
  const std::string with_label = save_q7_text(c.get());
  const size_t at = with_label.find("\n__label__\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_LT(at, with_label.find("__gff__"));
  EXPECT_NE(with_label.find("\nf" + zeros(127) + "\n\n__gff__"), std::string::npos);

  // No sound at all: the section marker stands alone.
  for (orrery_sfx &s : c->sfx) s = orrery_sfx{};
  const std::string silent = save_q7_text(c.get());
  EXPECT_NE(silent.find("__sfx__\n__music__\n"), std::string::npos);
}

TEST(CartText, SaveAndLoadReturnTheSameCartridge) {
  std::mt19937 rng(20240611);
  auto rnd = [&](int n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
  for (int round = 0; round < 4; round++) {
    cart_ptr c(vell_create_orrery_cart());
    std::string code;
    const char alphabet[] = "abc xyz=+-*/()[]{}.,;:'\"\t0123456789_";
    const int lines = 1 + rnd(300);
    for (int l = 0; l < lines; l++) {
      const int len = rnd(80);
      for (int i = 0; i < len; i++) code += alphabet[rnd(sizeof alphabet - 1)];
      if (l + 1 < lines) code += '\n';
    }
    strcpy(c->code, code.c_str());
    for (int32_t y = 0; y < 128; y++)
      for (int32_t x = 0; x < 128; x++) c->gfx->line[y][x] = static_cast<uint8_t>(rnd(16));
    for (int32_t y = 0; y < 32; y++)
      for (int32_t x = 0; x < 128; x++) c->map->line[y][x] = static_cast<uint8_t>(rnd(256));
    sync_shared_gfx_to_map(c.get());
    for (int32_t &f : c->flags) f = rnd(256);
    for (orrery_sfx &s : c->sfx) {
      s.editor_mode = rnd(256), s.speed = rnd(256), s.loop_start = rnd(256), s.loop_end = rnd(256);
      for (orrery_note &n : s.notes) n = orrery_note{rnd(64), rnd(8), rnd(8), rnd(8), rnd(2) * 128};
    }
    for (orrery_pattern &p : c->music) {
      for (int32_t &ch : p.channel) ch = rnd(128);
      p.flags = rnd(16);
    }
    if (round % 2) {
      c->label = vell_create_bitmap(128, 128, 8);
      for (int32_t y = 0; y < 128; y++)
        for (int32_t x = 0; x < 128; x++) c->label->line[y][x] = static_cast<uint8_t>(rnd(16));
    }

    cart_ptr back = load(save_q7_text(c.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->version, 12);
    // Map rows 32-63 come back through the sprite sheet.
    for (int32_t y = 32; y < 64; y++) ASSERT_EQ(back->map->line[y][5], 0);
    orrery_sync_shared_quarter(back.get());
    expect_same_cart(c.get(), back.get());
  }

  // The documented exception: sprite values above 15 come back as 15.
  cart_ptr c(vell_create_orrery_cart());
  c->gfx->line[3][4] = 200;
  cart_ptr back = load(save_q7_text(c.get()));
  EXPECT_EQ(back->gfx->line[3][4], 15);
}

TEST(CartText, HandWrittenFixtureLoadsToTheExpectedFields) {
  cart_ptr c(vell_load_orrery_cart(ORRERY_TEST_DATA "/fixture.q7"));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->version, 12);
  EXPECT_STREQ(c->code, "-- fixture\nx=1\nprint(x)");
  for (int32_t x = 0; x < 16; x++) EXPECT_EQ(c->gfx->line[0][x], x);
  EXPECT_EQ(c->gfx->line[0][16], 0);
  EXPECT_EQ(c->gfx->line[1][0], 15);
  EXPECT_EQ(c->gfx->line[2][0], 0);
  ASSERT_NE(c->label, nullptr);
  EXPECT_EQ(c->label->line[0][31], 7);
  EXPECT_EQ(c->label->line[0][30], 0);
  EXPECT_EQ(c->flags[0], 0x00);
  EXPECT_EQ(c->flags[1], 0x01);
  EXPECT_EQ(c->flags[2], 0xff);
  EXPECT_EQ(c->flags[128], 0x80);
  EXPECT_EQ(c->map->line[0][0], 1);
  EXPECT_EQ(c->map->line[0][1], 2);
  EXPECT_EQ(c->map->line[1][127], 0x0a);
  const orrery_sfx &s0 = c->sfx[0];
  EXPECT_EQ(s0.editor_mode, 0);
  EXPECT_EQ(s0.speed, 16);
  EXPECT_EQ(s0.loop_start, 0);
  EXPECT_EQ(s0.loop_end, 8);
  expect_note(s0.notes[0], 28, 5, 7, 3, 0);
  expect_note(s0.notes[1], 12, 0, 7, 3, 128);
  expect_note(s0.notes[2], 0, 0, 0, 0, 0);
  const orrery_sfx &s1 = c->sfx[1];
  EXPECT_EQ(s1.editor_mode, 1);
  EXPECT_EQ(s1.speed, 2);
  EXPECT_EQ(s1.loop_start, 3);
  EXPECT_EQ(s1.loop_end, 4);
  expect_note(s1.notes[0], 63, 7, 7, 7, 0);
  EXPECT_EQ(c->sfx[2].speed, 16);
  EXPECT_EQ(c->music[0].flags, 1);
  EXPECT_EQ(c->music[0].channel[0], 1);
  EXPECT_EQ(c->music[0].channel[2], 3);
  EXPECT_EQ(c->music[0].channel[3], 0x44);
  EXPECT_EQ(c->music[1].flags, 4);
  EXPECT_EQ(c->music[2].channel[0], 0x41);
}

TEST(CartText, FilesAreReplacedOnlyWhenTheNewTextIsComplete) {
  char tmpl[] = "/tmp/orrery-cart-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = std::string(tmpl) + "/";
  cart_ptr c(vell_create_orrery_cart());
  strcpy(c->code, "print('saved')");
  const std::string path = dir + "game.q7";
  { std::ofstream(path) << "old contents\n"; }
  ASSERT_EQ(vell_save_orrery_cart(c.get(), path.c_str()), CART_SAVE_OK);
  cart_ptr back(vell_load_orrery_cart(path.c_str()));
  ASSERT_TRUE(back);
  EXPECT_STREQ(back->code, "print('saved')");
  EXPECT_FALSE(std::ifstream(path + ".saving").good());

  EXPECT_EQ(vell_save_orrery_cart(c.get(), (dir + "missing/x.q7").c_str()), CART_SAVE_OPEN_FAILED);
  EXPECT_EQ(vell_load_orrery_cart((dir + "missing/x.q7").c_str()), nullptr);

  // The target is a folder: the write cannot complete, the folder stays,
  // and nothing is left behind.
  const std::string folder = dir + "folder.q7";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  EXPECT_EQ(vell_save_orrery_cart(c.get(), folder.c_str()), CART_SAVE_WRITE_FAILED);
  EXPECT_FALSE(std::ifstream(folder + ".saving").good());

  // A full device is reported, not taken for success.
  if (FILE *full = fopen("/dev/full", "wb")) {
    EXPECT_EQ(vell_save_orrery_cart_to_file(c.get(), full), CART_SAVE_WRITE_FAILED);
    fclose(full);
  }
  std::filesystem::remove_all(dir);
}
