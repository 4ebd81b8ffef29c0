// Cartridge files: the .q7 text format read and written field by field, its
// limits and clamps, safe replacement on disk, 32 KB cartridge images, and
// persistent cartridge data with its id rules and when it is written.
#include "support/test.h"

namespace {

std::string header(int version) { return "orrery cartridge // test\nversion " + std::to_string(version) + "\n"; }
const std::string k_head = header(12);

cart_ptr load(const std::string &text) { return cart_ptr(load_q7_text(text)); }

std::string zeros(size_t n) { return std::string(n, '0'); }

// Every byte of the cartridge image and the code agree.
void expect_same_cart(const orrery_cart *a, const orrery_cart *b) {
  EXPECT_STREQ(a->code, b->code);
  for (int32_t addr = 0; addr < 0x4300; addr++)
    ASSERT_EQ(orrery_peek(nullptr, a, addr), orrery_peek(nullptr, b, addr)) << "address " << addr;
  ASSERT_EQ(a->label != nullptr, b->label != nullptr);
  for (int32_t y = 0; a->label && y < 128; y++) ASSERT_EQ(memcmp(a->label->line[y], b->label->line[y], 128), 0) << y;
}

// The file of a run whose value 0 is v (8 hex digits) and the rest 0.
std::string file_with_first(const std::string &v) {
  std::string text = v + std::string(56, '0') + "\n";
  for (int i = 1; i < 8; i++) text += std::string(64, '0') + "\n";
  return text;
}

}  // namespace

TEST(CartText, HeaderAndLineEndsDecideWhatLoads) {
  // Text, the code loaded ("!" for a refused file), the version, and whether the file counts as from the future.
  const std::tuple<std::string, const char *, int, int> cases[] = {
      {"orrery cartridgX // x\nversion 12\n__lua__\nx\n", "!", 0, 0},
      {"", "!", 0, 0},
      {"orrery cartridge", "", 0, 0},  // no end mark, no version line
      {k_head, "", 12, 0},
      {header(13) + "__lua__\nx=1\n", "!", 0, 1},
      {"orrery cartridge\nversion 99999999999999\n", "!", 0, 1},
      {"orrery cartridge\nversion -4\n", "", -4, 0},
      {k_head + "__lua__\r\na\rb\r\n\nc\n__gfx__\n", "a\nb\n\nc", 12, 0},
      {k_head + "__lua__\nkept\ndropped", "kept", 12, 0},  // the last line needs an end mark
      {k_head + "__lua__\nlast\r", "last", 12, 0},
      {k_head + "stray\n00ff\n__lua__\nx\n", "x", 12, 0}  // text before the first marker is ignored
  };
  for (const auto &[text, code, version, future] : cases) {
    orrery_set_future_version_status(0);
    cart_ptr c = load(text);
    EXPECT_EQ(c ? c->code : "!", std::string(code)) << text;
    EXPECT_EQ(c ? c->version : version, version) << text;
    EXPECT_EQ(orrery_future_version_status(), future) << text;
  }
  orrery_set_future_version_status(0);
}

TEST(CartText, DataSectionsScanTheirDigitsFieldByField) {
  cart_ptr c = load(k_head + "__gfx__\n0aF9g-\n__label__\n" + zeros(127) + "e\n__map__\n" + zeros(254) + "Ab\n" +
                    std::string(63, '\n') + "ff\n" + "__sfx__\n0010zz08" + "0c8f3" + "1C53A" + "3g000\n\n02\n");
  ASSERT_TRUE(c);
  // Picture digits are lower case only; the 65th map row is past the limit.
  expect_rows({ROW(c->gfx->line[0][1], 10), ROW(c->gfx->line[0][2], 0), ROW(c->gfx->line[0][3], 9),
               ROW(c->gfx->line[0][4], 0), ROW(c->label->line[0][127], 14), ROW(c->map->line[0][127], 0x0b),
               ROW(c->map->line[63][0], 0)});
  // Sound header 00 10 zz: the scan stops at zz. Upper-case digits scan in
  // notes; effect digit A has bit 3: custom, effect 2. "3g000": pitch 3,
  // then the scan stops. An empty line leaves sound 1 at its defaults.
  const orrery_sfx &s = c->sfx[0];
  expect_rows({ROW(s.speed, 0x10), ROW(s.loop_start, 0), ROW(c->sfx[1].speed, 16), ROW(c->sfx[2].editor_mode, 2),
               ROW(c->sfx[2].speed, 16)});
  expect_note(s.notes[0], 12, 0, 7, 3, 128);
  expect_note(s.notes[1], 0x1c, 5, 3, 2, 128);
  expect_note(s.notes[2], 3, 0, 0, 0, 0);
  EXPECT_EQ(load(k_head + "__sfx__\n00000000ff000\n")->sfx[0].notes[0].pitch, 63) << "pitch keeps its low 6 bits";
  EXPECT_EQ(load(k_head + "__sfx__\n00-1\n")->sfx[0].speed, 1) << "a sign is not a digit: the default stays";

  // Sprite flags: one digit per flag before version 3, two from version 3.
  // Music: 0 means channel-off below version 4; no flags before version 3.
  const std::string gff = "__gff__\n1a0\n" + zeros(255) + "7\nff\n", music = "__music__\n00 00010203\n05 ff\n";
  cart_ptr v2 = load(header(2) + gff + "__music__\n00010243\n"), v3 = load(header(3) + gff + music),
           v4 = load(header(4) + music);
  expect_rows({ROW(v2->flags[1], 10), ROW(v2->flags[255], 0), ROW(v3->flags[0], 0x1a), ROW(v3->flags[255], 7),
               ROW(v2->music[0].flags, 0), ROW(v2->music[0].channel[0], 0x41), ROW(v2->music[0].channel[3], 0x43),
               ROW(v3->music[0].channel[0], 0x41), ROW(v3->music[0].channel[3], 3), ROW(v3->music[1].flags, 5),
               ROW(v3->music[1].channel[0], 0xff), ROW(v3->music[1].channel[1], 0x42)});
  expect_rows({ROW(v4->music[0].channel[0], 0)});
}

TEST(CartText, SaverClampsValuesToTheirWidthAndDropsTrailingEmptySounds) {
  cart_ptr c(vell_create_orrery_cart());
  c->gfx->line[0][0] = 20, c->gfx->line[0][1] = 0xc;
  c->flags[1] = 0x1ab;
  c->map->line[31][127] = 0xfe;
  for (orrery_sfx &s : c->sfx) s = orrery_sfx{};
  c->sfx[0].speed = 300, c->sfx[0].loop_start = -5;
  c->sfx[0].notes[0] = orrery_note{70, 9, 12, -1, 128};
  c->sfx[0].notes[1] = orrery_note{-3, 2, 3, 4, 0};
  c->sfx[1].notes[31].effect = 1;  // one field keeps it from being empty
  c->sfx[2].speed = 16;
  c->music[2].flags = 0xb, c->music[2].channel[1] = 300;
  c->label = vell_create_bitmap(128, 128, 8);  // all zero: not written
  const std::string text = save_q7_text(c.get());
  auto line_after = [](const std::string &t, const char *marker, int n) {
    size_t at = t.find(marker);
    for (int i = 0; i < n; i++) at = t.find('\n', at) + 1;
    return t.substr(at, t.find('\n', at) - at);
  };
  EXPECT_EQ(text.find("__label__"), std::string::npos);
  EXPECT_EQ(line_after(text, "__gfx__", 1).substr(0, 3), "fc0");
  EXPECT_EQ(line_after(text, "__gff__", 1).substr(0, 4), "00ab");
  EXPECT_EQ(line_after(text, "__map__", 32).substr(252), "00fe");
  EXPECT_EQ(line_after(text, "__sfx__", 1),
            "00ff0000"
            "46f70"
            "00234" +
                zeros(150));
  EXPECT_EQ(line_after(text, "__sfx__", 2), "00000000" + zeros(155) + "00001");
  EXPECT_EQ(line_after(text, "__sfx__", 4), "__music__") << "sounds 0-2 are written, 3-63 are empty";
  EXPECT_EQ(line_after(text, "__music__", 3), "0b 41ff4344");
  // A label with one pixel is written after the sprites, values above 15 as f.
  c->label->line[127][0] = 99;
  const std::string with_label = save_q7_text(c.get());
  EXPECT_NE(with_label.find("\n__label__\n"), std::string::npos);
  EXPECT_NE(with_label.find("\nf" + zeros(127) + "\n\n__gff__"), std::string::npos);
  for (orrery_sfx &s : c->sfx) s = orrery_sfx{};
  EXPECT_NE(save_q7_text(c.get()).find("__sfx__\n__music__\n"), std::string::npos) << "no sound at all";
}

TEST(CartText, SaveAndLoadReturnTheSameCartridge) {
  std::mt19937 rng(20240611);
  auto rnd = [&](int n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
  cart_ptr c(vell_create_orrery_cart());
  const std::string alphabet = "abc xyz=+-*/()[]{}.,;:'\"\t0123456789_\n";
  for (int i = 0; i < 8000; i++) c->code[i] = alphabet[rnd(static_cast<int>(alphabet.size()))];
  strcpy(c->code + 8000, "end");
  for (int32_t a = 0; a < 0x4300; a++) orrery_poke(nullptr, c.get(), a, rnd(256));
  c->label = vell_create_bitmap(128, 128, 8);
  for (int32_t i = 0; i < 128 * 128; i++) c->label->data[i] = static_cast<uint8_t>(rnd(16));
  cart_ptr back = load(save_q7_text(c.get()));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->map->line[40][5], 0) << "map rows 32-63 come back through the sprite sheet";
  orrery_sync_shared_quarter(back.get());
  expect_same_cart(c.get(), back.get());
  // The hand-written fixture, with every section, comes back the same too.
  cart_ptr fixture(vell_load_orrery_cart(ORRERY_TEST_DATA "/fixture.q7"));
  ASSERT_TRUE(fixture);
  expect_rows({ROW(fixture->label->line[0][31], 7), ROW(fixture->flags[128], 0x80), ROW(fixture->music[1].flags, 4)});
  expect_same_cart(fixture.get(), load(save_q7_text(fixture.get())).get());
}

TEST(CartText, FilesAreReplacedOnlyWhenTheNewTextIsComplete) {
  temp_folder dir;
  cart_ptr c(vell_create_orrery_cart());
  strcpy(c->code, "print('saved')");
  write_file(dir / "game.q7", "old contents\n");
  ASSERT_EQ(vell_save_orrery_cart(c.get(), (dir / "game.q7").c_str()), CART_SAVE_OK);
  EXPECT_STREQ(cart_ptr(vell_load_orrery_cart((dir / "game.q7").c_str()))->code, "print('saved')");
  EXPECT_FALSE(path_exists(dir / "game.q7.saving"));
  EXPECT_EQ(vell_save_orrery_cart(c.get(), (dir / "missing/x.q7").c_str()), CART_SAVE_OPEN_FAILED);
  EXPECT_EQ(vell_load_orrery_cart((dir / "missing/x.q7").c_str()), nullptr);
  // A folder in the way: the write cannot complete and nothing is left behind.
  ASSERT_EQ(mkdir((dir / "folder.q7").c_str(), 0700), 0);
  EXPECT_EQ(vell_save_orrery_cart(c.get(), (dir / "folder.q7").c_str()), CART_SAVE_WRITE_FAILED);
  EXPECT_FALSE(path_exists(dir / "folder.q7.saving"));
  // A full device is reported, not taken for success.
  if (FILE *full = fopen("/dev/full", "wb")) {
    EXPECT_EQ(vell_save_orrery_cart_to_file(c.get(), full), CART_SAVE_WRITE_FAILED);
    fclose(full);
  }
}

TEST(CartImage, MemoryAndCodeRoundTripThroughTheImageWithinItsLimit) {
  cart_ptr c(vell_create_orrery_cart());
  c->gfx->line[127][127] = 9;
  c->music[9].flags = 0x5;
  strcpy(c->code, "print(\"image\")");
  std::vector<uint8_t> image(k_cart_image_bytes, 0xee);
  ASSERT_EQ(save_orrery_cart_32k(c.get(), image.data()), CART_IMAGE_OK);
  expect_rows({ROW(image[0x1fff], 0x90), ROW(image[0x3100 + 9 * 4], 0x80 | 0x41), ROW(image[0x3100 + 9 * 4 + 1], 0x42),
               ROW(image[0x4300], 'p'), ROW(image[0x4300 + 14], 0), ROW(image.back(), 0)});
  cart_ptr back(vell_create_orrery_cart());
  strcpy(back->code, "old code that must go");
  ASSERT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK);
  expect_same_cart(c.get(), back.get());

  // Code is stored compressed when that is shorter, else as it is (characters
  // outside the one-byte table, without repeats, grow when compressed); the
  // plain form fills at most the whole block, without a terminator.
  const std::string noise = noise_code(15361);
  const std::tuple<const char *, std::string, int, bool> rows[] = {
      {"long repetitive code", std::string(60000, 'x'), CART_IMAGE_OK, true},
      {"plain text filling the block", noise.substr(0, 15360), CART_IMAGE_OK, false},
      {"one byte too many", noise, CART_IMAGE_CODE_TOO_LARGE, false},
      {"looks like a block marker", ":c:", CART_IMAGE_OK, true},
      {"empty", "", CART_IMAGE_OK, false}};
  for (const auto &[name, code, result, compressed] : rows) {
    strcpy(c->code, code.c_str());
    std::fill(image.begin(), image.end(), 0xee);
    ASSERT_EQ(save_orrery_cart_32k(c.get(), image.data()), result) << name;
    if (result != CART_IMAGE_OK) continue;
    EXPECT_EQ(memcmp(image.data() + 0x4300, k_compressed_code_marker, 4) == 0, compressed) << name;
    EXPECT_EQ(image[k_cart_image_bytes - 1], 0) << name;
    strcpy(back->code, "old code that must go");
    ASSERT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK) << name;
    EXPECT_EQ(std::string(back->code), code) << name;
  }
  // A damaged block keeps what was decoded before the damage; ":c:" without
  // its NUL is plain text.
  memcpy(image.data() + 0x4300, "\x3a\x63\x3a\x00\x00\x05\x00\x00\x0d\x3d\x10", 11);
  EXPECT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_BAD_CODE);
  EXPECT_STREQ(back->code, "a");
  memcpy(image.data() + 0x4300, ":c:x", 5);
  EXPECT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK);
  EXPECT_STREQ(back->code, ":c:x");
}

TEST(CartData, StoppingWritesTheValuesTheNextRunReadsThemAndIdsAreChecked) {
  temp_folder home;
  exec_result r =
      exec_cart(home, "assert(not cartdata('my_game_1'), 'found')\ndset(0, 1.5)\ndset(63, -1)\ndset(64, 7)");
  EXPECT_TRUE(r.lines.empty());
  std::string expected = file_with_first("00018000");
  expected.replace(7 * 65 + 56, 8, "ffff0000");
  EXPECT_EQ(read_file(home / "cdata/my_game_1.q7d.txt"), expected);
  EXPECT_EQ(expected.size(), static_cast<size_t>(k_cdata_file_size));
  EXPECT_FALSE(path_exists(home / "cdata/my_game_1.q7d.txt.saving"));
  r = exec_cart(home,
                "found = cartdata('my_game_1')\nassert(false, (found and 'found' or 'none') .. ' ' .. dget(0) .. "
                "' ' .. dget(63) .. ' ' .. dget(64) .. ' ' .. dget(-1))");
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3], "found 1.5 -1 0 0");

  const std::pair<std::string, std::string> errors[] = {
      {"cartdata('b-c')", "cart data id: bad char"},
      {"cartdata('" + std::string(65, 'a') + "')", "cart data id too long"},
      {"cartdata('a') cartdata('a')", "cartdata() can only be called once"}};
  for (const auto &[code, message] : errors) {
    r = exec_cart(home, code);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"runtime error line 1 tab 0", code, message})) << code;
  }
  r = exec_cart(home, "cartdata('" + std::string(64, 'z') + "') dset(1, 2)");
  EXPECT_TRUE(r.lines.empty());
  EXPECT_TRUE(path_exists(home / ("cdata/" + std::string(64, 'z') + ".q7d.txt")));
}

TEST(CartData, WrittenAfterSlicesAtMostOncePerSecondAndOnSuspend) {
  runner_rig rig;
  rig.run("cartdata('timing') n = 0\nfunction _update() n += 1 dset(0, n) end");
  const std::string file = orrery_config().cdata_path + std::string("timing.q7d.txt");
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
  rig.run("function _update() end");
  rig.frame();
  EXPECT_EQ(pstate.cdata[0], 0) << "a new run starts without the last run's data";
}

// The clipboard text form of cartridge files: the exact text, the way back,
// and texts that are refused without writing anything.
TEST(CartHex, EncodesEveryByteDecodesBackAndRefusesPartialTexts) {
  temp_folder dir;
  std::string bytes;
  for (int i = 0; i < 256; i++) bytes += static_cast<char>(i);
  write_file(dir / "cart.png", bytes);
  ASSERT_EQ(convert_binary_file_to_hex((dir / "cart.png").c_str(), (dir / "cart.hex").c_str()), CART_HEX_OK);
  const std::string text = read_file(dir / "cart.hex");
  EXPECT_EQ(text.substr(0, 14), "[cart]00010203");
  EXPECT_EQ(text.substr(text.size() - 11), "feff[/cart]");
  EXPECT_EQ(text.size(), 6 + 512 + 7u);
  ASSERT_EQ(convert_hex_to_binary_file(text.c_str(), (dir / "back.png").c_str()), HEX_CART_OK);
  EXPECT_EQ(read_file(dir / "back.png"), bytes);

  // Wrapped and upper-case as a mail program might hand it back.
  ASSERT_EQ(convert_hex_to_binary_file("  [cart]0A\r\nFf 1\n0[/cart]\n", (dir / "wrapped").c_str()), HEX_CART_OK);
  EXPECT_EQ(read_file(dir / "wrapped"), "\x0a\xff\x10");
  // A file is never cut short.
  write_file(dir / "big", std::string(k_cart_hex_max_file + 1, 'x'));
  EXPECT_EQ(convert_binary_file_to_hex((dir / "big").c_str(), (dir / "big.hex").c_str()), CART_HEX_NO_INPUT);
  EXPECT_FALSE(path_exists(dir / "big.hex"));
  // Texts that are not whole cartridges are refused and the old file kept.
  const std::string out = dir / "_clip.q7.png";
  write_file(out, "old");
  // Empty, not the form, no opening tag, cut off before the closing tag, an
  // odd number of digits, not a digit, another tag.
  for (const char *text :
       {"", "hello", "cart]00[/cart]", "[cart]0011", "[cart]001[/cart]", "[cart]00zz[/cart]", "[cart]00[/crt]"}) {
    EXPECT_EQ(convert_hex_to_binary_file(text, out.c_str()), HEX_CART_NOT_CART) << '"' << text << '"';
    EXPECT_EQ(read_file(out), "old") << '"' << text << '"';
  }
}
