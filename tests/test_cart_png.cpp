// Picture cartridges read back by an independent decoder and by the
// console, their load statuses, title lines, and the cartridge hash.
#include "support/test.h"

namespace {

std::vector<std::string> g_printed;

class CartPng : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
    vell_set_engine_palette(orrery_resource_palette());
    vell_text_init();
    orrery_set_cart_png_art(orrery_resource_bitmap(k_res_cart_template), vell_font1());
    g_printed.clear();
    orrery_machine_hooks hooks = {};
    hooks.print_col = [](const char *text, int32_t) { g_printed.push_back(text); };
    orrery_machine_hooks_use(hooks);
    orrery_set_future_version_status(0);
  }
  void TearDown() override {
    orrery_set_cart_png_art(nullptr, nullptr);
    orrery_machine_hooks_use({});
    vell_text_exit();
    orrery_release_resources();
  }
  temp_folder dir;
};

// A 160x205 picture (or another size) whose low bits hold payload, written as a PNG.
void write_payload_picture(const std::string &path, const std::vector<uint8_t> &payload, int32_t w = 160,
                           int32_t h = 205) {
  vell_rgba_image pic;
  pic.width = w, pic.height = h;
  pic.pixels.assign(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 0; i < payload.size() && i < static_cast<size_t>(w) * h; i++)
    for (int k = 0; k < 4; k++) pic.pixels[i * 4 + k] = payload[i] >> (k == 3 ? 6 : 4 - 2 * k) & 3;
  ASSERT_EQ(vell_png_write_file(path.c_str(), pic), VELL_PNG_OK);
}

}  // namespace

TEST_F(CartPng, IndependentDecoderFindsMemoryCodeAndTrailer) {
  cart_ptr c(vell_create_orrery_cart());
  for (int32_t a = 0; a < k_cart_image_size; a++) orrery_poke(nullptr, c.get(), a, (a * 7 + (a >> 8)) & 255);
  std::string code = "-- star pilot\n-- by the team\n";
  for (int i = 0; i < 80; i++) code += "function enemy" + std::to_string(i) + "() spr(1,x,y) end\n";
  strcpy(c->code, code.c_str());
  c->label = vell_create_bitmap(128, 128, 8);
  for (int32_t i = 0; i < 128 * 128; i++) c->label->data[i] = static_cast<uint8_t>((i % 128 / 8 + i / 1024) & 15);
  const std::string path = dir / "game.q7.png";
  ASSERT_EQ(save_orrery_cart_png(c.get(), path.c_str()), CART_PNG_SAVE_OK);

  // ImageMagick reads the file: an 8-bit RGBA picture whose pixels' low
  // bits (blue, green, red, alpha from the lowest) hold the payload.
  EXPECT_EQ(run_process({"/usr/bin/env", "identify", "-format",
                         "%w %h %[png:IHDR.color-type-orig] %[png:IHDR.bit-depth-orig]", path})
                .output,
            "160 205 6 8");
  const std::string rgba = run_process({"/usr/bin/env", "convert", path, "-depth", "8", "rgba:-"}).output;
  ASSERT_EQ(rgba.size(), 160u * 205 * 4);
  std::vector<uint8_t> payload;
  int stray = 0;
  for (size_t i = 0; i < 160 * 205; i++) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(rgba.data()) + i * 4;
    const uint8_t b = (p[2] & 3) | (p[1] & 3) << 2 | (p[0] & 3) << 4 | (p[3] & 3) << 6;
    if (i < 32773)
      payload.push_back(b);
    else
      stray += b != 0;
  }
  EXPECT_EQ(stray, 0);
  for (int32_t a = 0; a < k_cart_image_size; a++) ASSERT_EQ(payload[a], orrery_peek(nullptr, c.get(), a)) << a;
  std::vector<uint8_t> block;
  compress_mini(code.data(), static_cast<int32_t>(code.size()), &block);
  ASSERT_EQ(block[0], ':');
  EXPECT_EQ(std::vector<uint8_t>(payload.begin() + 0x4300, payload.begin() + 0x4300 + block.size()), block);
  std::vector<uint8_t> tail(32768 - 0x4300 - block.size(), 0);  // zeros, then version, build and format
  tail.insert(tail.end(), {12, 0, 1, 16, 'w'});
  EXPECT_EQ(std::vector<uint8_t>(payload.begin() + 0x4300 + block.size(), payload.end()), tail);

  cart_ptr back(load_orrery_cart_png(path.c_str()));
  ASSERT_TRUE(back && back->label);
  EXPECT_EQ(orrery_cart_png_status(), CART_PNG_OK);
  EXPECT_EQ(back->version, 12);
  EXPECT_EQ(std::string(back->code), code);
  for (int32_t a = 0; a < k_cart_image_size; a++) ASSERT_EQ(orrery_peek(nullptr, back.get(), a), payload[a]) << a;
  EXPECT_EQ(memcmp(back->label->data, c->label->data, 128 * 128), 0);
}

TEST_F(CartPng, LoadStatuses) {
  std::vector<uint8_t> payload(32773, 0);
  write_payload_picture(dir / "zero.png", payload);
  payload[32768] = 13;
  write_payload_picture(dir / "v13.png", payload);
  payload[32768] = 12;
  write_payload_picture(dir / "small.png", payload, 100, 100);
  write_file(dir / "text.png", "orrery cartridge\nversion 12\n");
  // A damaged code block still loads, with the code decoded before the damage.
  memcpy(&payload[0x4300], ":c:\0\0\x09\0\0\x0d\x0e\x0f\x3c", 12);
  write_payload_picture(dir / "cut.png", payload);
  // File, status, code (null: no cartridge), version.
  const std::tuple<const char *, int, const char *, int> rows[] = {{"zero.png", CART_PNG_OK, "", 0},
                                                                   {"v13.png", CART_PNG_FUTURE_VERSION, nullptr, 0},
                                                                   {"small.png", CART_PNG_NOT_CART, nullptr, 0},
                                                                   {"text.png", CART_PNG_UNDECODABLE, nullptr, 0},
                                                                   {"missing.png", CART_PNG_NOT_CART, nullptr, 0},
                                                                   {"cut.png", CART_PNG_OK, "abc", 12}};
  for (const auto &[file, status, code, version] : rows) {
    cart_ptr c(load_orrery_cart_png((dir / file).c_str()));
    EXPECT_EQ(orrery_cart_png_status(), status) << file;
    ASSERT_EQ(c != nullptr, code != nullptr) << file;
    if (!c) continue;
    EXPECT_STREQ(c->code, code) << file;
    EXPECT_EQ(c->version, version) << file;
  }
  EXPECT_EQ(g_printed, std::vector<std::string>{"future_version: 13"});
  EXPECT_EQ(orrery_future_version_status(), 1);
}

TEST_F(CartPng, TitleLinesComeFromTheFirstTwoCodeLines) {
  orrery_set_cart_png_art(nullptr, vell_font1());  // plain black, so only text has colour
  // Code, then the two title lines expected ("" draws nothing).
  const std::tuple<const char *, const char *, const char *> rows[] = {
      {"--my game\n--  two spaces\nprint(1)", "my game", " two spaces"},
      {"print(1)\n-- second only", "", "second only"},
      {"-- 0123456789012345678901234567890123456789", "0123456789012345678901234567890", ""},
      {"- not a title\nx=1\n-- third line", "", ""}};
  for (const auto &[code, line1, line2] : rows) {
    cart_ptr c(vell_create_orrery_cart());
    strcpy(c->code, code);
    vell_rgba_image pic;
    ASSERT_EQ(orrery_cart_png_picture(c.get(), &pic), CART_PNG_SAVE_OK);
    bitmap_ptr expected(vell_create_bitmap(160, 205, 32));
    vell_draw_text_ex(expected.get(), line1, vell_font1(), 18, 167, k_text_colour, 0xfffff8f0);
    vell_draw_text_ex(expected.get(), line2, vell_font1(), 18, 175, k_text_colour, 0xfffff8f0);
    vell_draw_text_ex(expected.get(), "orrery cartridge", vell_font1(), 18, 187, k_text_colour, 0xffa0a0a0);
    int wrong = 0;
    for (int32_t i = 0; i < 160 * 205; i++) {
      const uint8_t *p = &pic.pixels[static_cast<size_t>(i) * 4];
      const uint32_t seen = static_cast<uint32_t>(p[0] & 0xfc) << 16 | (p[1] & 0xfc) << 8 | (p[2] & 0xfc);
      wrong += seen != (vell_getpixel(expected.get(), i % 160, i / 160) & 0xfcfcfc);
    }
    EXPECT_EQ(wrong, 0) << code;
  }
}

TEST_F(CartPng, HashIsTheSameFromEveryFormat) {
  // SHA-1 of the empty cartridge's image, worked out apart from the console,
  // from the cartridge itself, its text form and its picture (the label
  // takes no part).
  const std::string empty_hash = "6b81acf176a9e5cbb207565a6031687196ccf9bb";
  cart_ptr empty(vell_create_orrery_cart()), text(load_q7_text("orrery cartridge // x\nversion 12\n"));
  ASSERT_TRUE(text);
  ASSERT_EQ(save_orrery_cart_png(text.get(), (dir / "e.q7.png").c_str()), CART_PNG_SAVE_OK);
  cart_ptr picture(load_orrery_cart_png((dir / "e.q7.png").c_str()));
  ASSERT_TRUE(picture && picture->label);
  for (const orrery_cart *c : {empty.get(), text.get(), picture.get()}) {
    char hash[41];
    hash_cart(c, hash);
    EXPECT_EQ(std::string(hash), empty_hash);
  }
  // Code too long for the image is hashed through its own digest: still
  // telling different programs apart.
  strcpy(empty->code, noise_code(20000).c_str());
  char long_hash[41], other_hash[41];
  hash_cart(empty.get(), long_hash);
  empty->code[19999] = 'x';
  hash_cart(empty.get(), other_hash);
  EXPECT_TRUE(strlen(long_hash) == 40 && strcmp(long_hash, other_hash) && strcmp(long_hash, empty_hash.c_str()));
}
