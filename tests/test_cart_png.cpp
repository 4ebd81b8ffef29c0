// Picture cartridges read back by an independent decoder and by the
// console, their load statuses, title lines, and the cartridge hash.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "gfx/text.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_png.h"
#include "machine/hooks.h"
#include "machine/code_compress.h"
#include "machine/memory.h"
#include "platform/png_image.h"
#include "shell/resources.h"
#include "support/cart_support.h"
#include "support/process.h"

namespace {

std::vector<std::string> g_printed;

class CartPng : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
    vell_set_engine_palette(orrery_resource_palette());
    vell_text_init();
    orrery_set_cart_png_art(orrery_resource_bitmap(k_res_cart_template), vell_font1);
    g_printed.clear();
    orrery_machine_hooks hooks = {};
    hooks.print_col = [](const char *text, int32_t) { g_printed.push_back(text); };
    orrery_set_machine_hooks(hooks);
    orrery_set_future_version_status(0);
  }
  void TearDown() override {
    orrery_set_cart_png_art(nullptr, nullptr);
    orrery_set_machine_hooks(orrery_machine_hooks{});
    vell_text_exit();
    orrery_release_resources();
  }
  temp_folder dir;
};

// A 160x205 picture (or another size) whose low bits hold payload, black
// above them, written as a PNG.
void write_payload_picture(const std::string &path, const std::vector<uint8_t> &payload, int32_t w = 160,
                           int32_t h = 205) {
  vell_rgba_image pic;
  pic.width = w;
  pic.height = h;
  pic.pixels.assign(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 0; i < payload.size() && i < static_cast<size_t>(w) * h; i++) {
    const uint8_t b = payload[i];
    pic.pixels[i * 4 + 2] = b & 3;
    pic.pixels[i * 4 + 1] = b >> 2 & 3;
    pic.pixels[i * 4 + 0] = b >> 4 & 3;
    pic.pixels[i * 4 + 3] = b >> 6 & 3;
  }
  ASSERT_EQ(vell_png_write_file(path.c_str(), pic), VELL_PNG_OK);
}

std::vector<uint8_t> from_hex(const std::string &hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string noise_code(size_t n) {
  std::string s;
  uint32_t seed = 5;
  while (s.size() < n) s += static_cast<char>(0x80 + ((seed = seed * 1103515245 + 12345) >> 25));
  return s;
}

}  // namespace

TEST_F(CartPng, IndependentDecoderFindsMemoryCodeAndTrailer) {
  cart_ptr c(vell_create_orrery_cart());
  for (int32_t a = 0; a < k_cart_image_size; a++) orrery_poke(nullptr, c.get(), a, (a * 7 + (a >> 8)) & 255);
  std::string code = "-- star pilot\n-- by the team\n";
  for (int i = 0; i < 80; i++) code += "function enemy" + std::to_string(i) + "() spr(1,x,y) end\n";
  strcpy(c->code, code.c_str());
  c->label = vell_create_bitmap(128, 128, 8);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) c->label->line[y][x] = static_cast<uint8_t>((x / 8 + y / 8) & 15);

  const std::string path = dir / "game.q7.png";
  ASSERT_EQ(save_orrery_cart_png(c.get(), path.c_str()), CART_PNG_SAVE_OK);
  process_result r =
      run_process({"/usr/bin/env", "python3", ORRERY_SOURCE_DIR "/tests/support/png_payload.py", path});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  std::istringstream lines(r.output);
  std::string word, hex;
  int w = 0, h = 0, colour = 0, depth = 0, stray = -1;
  lines >> word >> w >> h >> colour >> depth >> word >> hex >> word >> stray;
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 205);
  EXPECT_EQ(colour, 6);  // RGBA
  EXPECT_EQ(depth, 8);
  EXPECT_EQ(stray, 0);
  const std::vector<uint8_t> payload = from_hex(hex);
  ASSERT_EQ(payload.size(), 32773u);
  for (int32_t a = 0; a < k_cart_image_size; a++)
    ASSERT_EQ(payload[a], orrery_peek(nullptr, c.get(), a)) << a;
  std::vector<uint8_t> block;
  compress_mini(code.data(), static_cast<int32_t>(code.size()), &block);
  ASSERT_EQ(block[0], ':');
  EXPECT_EQ(std::vector<uint8_t>(payload.begin() + 0x4300, payload.begin() + 0x4300 + block.size()), block);
  for (size_t i = 0x4300 + block.size(); i < 32768; i++) ASSERT_EQ(payload[i], 0) << i;
  EXPECT_EQ(std::vector<uint8_t>(payload.begin() + 32768, payload.end()),
            (std::vector<uint8_t>{12, 0, 1, 16, 'w'}));

  cart_ptr back(load_orrery_cart_png(path.c_str()));
  ASSERT_TRUE(back);
  EXPECT_EQ(orrery_cart_png_status(), CART_PNG_OK);
  EXPECT_EQ(back->version, 12);
  EXPECT_EQ(std::string(back->code), code);
  for (int32_t a = 0; a < k_cart_image_size; a++)
    ASSERT_EQ(orrery_peek(nullptr, back.get(), a), payload[a]) << a;
  ASSERT_TRUE(back->label);
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

  struct row {
    const char *file;
    int status;
    const char *code;  // null: no cartridge
    int version;
  } rows[] = {
      {"zero.png", CART_PNG_OK, "", 0},
      {"v13.png", CART_PNG_FUTURE_VERSION, nullptr, 0},
      {"small.png", CART_PNG_NOT_CART, nullptr, 0},
      {"text.png", CART_PNG_UNDECODABLE, nullptr, 0},
      {"missing.png", CART_PNG_NOT_CART, nullptr, 0},
      {"cut.png", CART_PNG_OK, "abc", 12},
  };
  for (const row &r : rows) {
    cart_ptr c(load_orrery_cart_png((dir / r.file).c_str()));
    EXPECT_EQ(orrery_cart_png_status(), r.status) << r.file;
    ASSERT_EQ(c != nullptr, r.code != nullptr) << r.file;
    if (!c) continue;
    EXPECT_STREQ(c->code, r.code) << r.file;
    EXPECT_EQ(c->version, r.version) << r.file;
  }
  EXPECT_EQ(g_printed, std::vector<std::string>{"future_version: 13"});
  EXPECT_EQ(orrery_future_version_status(), 1);

  // The all-zero picture is a cartridge with empty memory.
  cart_ptr zero(load_orrery_cart_png((dir / "zero.png").c_str()));
  for (int32_t a = 0; a < k_cart_image_size; a++) ASSERT_EQ(orrery_peek(nullptr, zero.get(), a), 0) << a;
}

TEST_F(CartPng, TitleLinesComeFromTheFirstTwoCodeLines) {
  orrery_set_cart_png_art(nullptr, vell_font1);  // plain black, so only text has colour
  struct row {
    const char *code;
    const char *line1, *line2;  // expected titles ("" draws nothing)
  } rows[] = {
      {"-- my game\n-- by me\nprint(1)", "my game", "by me"},
      {"--my game\n--  two spaces", "my game", " two spaces"},
      {"print(1)\n-- second only", "", "second only"},
      {"-- only line", "only line", ""},
      {"-- 0123456789012345678901234567890123456789", "0123456789012345678901234567890", ""},
      {"- not a title\nx=1\n-- third line", "", ""},
      {"--\n--", "", ""},
  };
  for (const row &r : rows) {
    cart_ptr c(vell_create_orrery_cart());
    strcpy(c->code, r.code);
    vell_rgba_image pic;
    ASSERT_EQ(orrery_cart_png_picture(c.get(), &pic), CART_PNG_SAVE_OK);
    vell_bitmap *expected = vell_create_bitmap(160, 205, 32);
    vell_draw_text_ex(expected, r.line1, vell_font1, 18, 167, k_text_colour, 0xfffff8f0);
    vell_draw_text_ex(expected, r.line2, vell_font1, 18, 175, k_text_colour, 0xfffff8f0);
    vell_draw_text_ex(expected, "orrery cartridge", vell_font1, 18, 187, k_text_colour, 0xffa0a0a0);
    int wrong = 0;
    for (int32_t y = 0; y < 205; y++)
      for (int32_t x = 0; x < 160; x++) {
        const uint8_t *p = &pic.pixels[(static_cast<size_t>(y) * 160 + x) * 4];
        const uint32_t seen = static_cast<uint32_t>(p[0] & 0xfc) << 16 | (p[1] & 0xfc) << 8 | (p[2] & 0xfc);
        wrong += seen != (vell_getpixel(expected, x, y) & 0xfcfcfc);
      }
    EXPECT_EQ(wrong, 0) << r.code;
    vell_destroy_bitmap(expected);
  }
}

TEST_F(CartPng, OversizedCodeIsNotSaved) {
  cart_ptr c(vell_create_orrery_cart());
  strcpy(c->code, noise_code(15361).c_str());  // stored plainly: compressing makes it longer
  EXPECT_EQ(cart_code_stored_size(c.get()), 15361);
  EXPECT_EQ(save_orrery_cart_png(c.get(), (dir / "big.q7.png").c_str()), CART_PNG_CODE_TOO_LARGE);
  EXPECT_FALSE(path_exists(dir / "big.q7.png"));
}

TEST_F(CartPng, HashIsTheSameFromEveryFormat) {
  // SHA-1 of the empty cartridge's image, worked out apart from the console.
  const std::string empty_hash = "6b81acf176a9e5cbb207565a6031687196ccf9bb";
  char hash[41];
  cart_ptr empty(vell_create_orrery_cart());
  hash_cart(empty.get(), hash);
  EXPECT_EQ(std::string(hash), empty_hash);

  cart_ptr text(load_q7_text("orrery cartridge // x\nversion 12\n"));
  ASSERT_TRUE(text);
  hash_cart(text.get(), hash);
  EXPECT_EQ(std::string(hash), empty_hash);

  ASSERT_EQ(save_orrery_cart_png(text.get(), (dir / "e.q7.png").c_str()), CART_PNG_SAVE_OK);
  cart_ptr picture(load_orrery_cart_png((dir / "e.q7.png").c_str()));
  ASSERT_TRUE(picture && picture->label);  // the label takes no part
  hash_cart(picture.get(), hash);
  EXPECT_EQ(std::string(hash), empty_hash);

  // Code too long for the image is hashed through its own digest: still
  // telling different programs apart.
  const std::string long_code = noise_code(20000);
  strcpy(empty->code, long_code.c_str());
  char long_hash[41], other_hash[41];
  hash_cart(empty.get(), long_hash);
  empty->code[19999] = 'x';
  hash_cart(empty.get(), other_hash);
  EXPECT_EQ(strlen(long_hash), 40u);
  EXPECT_STRNE(long_hash, other_hash);
  EXPECT_STRNE(long_hash, empty_hash.c_str());
}
