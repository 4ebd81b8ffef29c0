#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "shell/pod.h"
#include "shell/resources.h"
#include "support/cart_support.h"

TEST(CartImage, MemoryAndCodeRoundTripThroughTheImage) {
  cart_ptr c(vell_create_orrery_cart());
  c->gfx->line[0][0] = 3;
  c->gfx->line[127][127] = 9;
  c->map->line[5][6] = 0x42;
  c->flags[7] = 0x81;
  c->sfx[4].notes[2] = orrery_note{33, 6, 5, 4, 128};
  c->music[9].flags = 0x5;
  strcpy(c->code, "print(\"image\")");

  std::vector<uint8_t> image(k_cart_image_bytes, 0xee);
  ASSERT_EQ(save_orrery_cart_32k(c.get(), image.data()), CART_IMAGE_OK);
  EXPECT_EQ(image[0x0000], 3);
  EXPECT_EQ(image[0x1fff], 0x90);
  EXPECT_EQ(image[0x2000 + 5 * 128 + 6], 0x42);
  EXPECT_EQ(image[0x3100 + 9 * 4], 0x80 | 0x41);  // channel value and flag bit
  EXPECT_EQ(image[0x3100 + 9 * 4 + 1], 0x42);
  EXPECT_EQ(memcmp(image.data() + 0x4300, "print(\"image\")", 14), 0);
  for (size_t i = 0x4300 + 14; i < image.size(); i++) ASSERT_EQ(image[i], 0) << i;

  cart_ptr back(vell_create_orrery_cart());
  strcpy(back->code, "old code that must go");
  ASSERT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK);
  EXPECT_STREQ(back->code, c->code);
  for (int32_t a = 0; a < 0x4300; a++)
    ASSERT_EQ(orrery_peek(nullptr, back.get(), a), orrery_peek(nullptr, c.get(), a)) << a;
  EXPECT_EQ(back->sfx[4].notes[2].custom, 128);
  EXPECT_EQ(back->music[9].flags, 5);
}

TEST(CartImage, CodeIsStoredCompressedOrPlainAndMustFit) {
  cart_ptr c(vell_create_orrery_cart());
  cart_ptr back(vell_create_orrery_cart());
  std::vector<uint8_t> image(k_cart_image_bytes);
  // Characters outside the one-byte table, without repeats, grow when
  // compressed and so are stored as they are.
  std::string noise;
  for (uint32_t seed = 3; noise.size() < 15361;) noise += static_cast<char>(0x80 + ((seed = seed * 1103515245 + 12345) >> 25));
  struct row {
    const char *name;
    std::string code;
    int result;
    bool compressed;
  } rows[] = {
      {"long repetitive code", std::string(60000, 'x'), CART_IMAGE_OK, true},
      {"plain text filling the block", noise.substr(0, 15360), CART_IMAGE_OK, false},
      {"one byte too many", noise, CART_IMAGE_CODE_TOO_LARGE, false},
      {"looks like a block marker", ":c:", CART_IMAGE_OK, true},
      {"empty", "", CART_IMAGE_OK, false},
  };
  for (const row &r : rows) {
    strcpy(c->code, r.code.c_str());
    std::fill(image.begin(), image.end(), 0xee);
    ASSERT_EQ(save_orrery_cart_32k(c.get(), image.data()), r.result) << r.name;
    if (r.result != CART_IMAGE_OK) continue;
    EXPECT_EQ(memcmp(image.data() + 0x4300, k_compressed_code_marker, 4) == 0, r.compressed) << r.name;
    EXPECT_EQ(image[k_cart_image_bytes - 1], 0) << r.name;
    strcpy(back->code, "old code that must go");
    ASSERT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK) << r.name;
    EXPECT_EQ(std::string(back->code), r.code) << r.name;
  }

  // A damaged block keeps what was decoded before the damage.
  memcpy(image.data() + 0x4300, "\x3a\x63\x3a\x00\x00\x05\x00\x00\x0d\x3d\x10", 11);
  EXPECT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_BAD_CODE);
  EXPECT_STREQ(back->code, "a");
  // ":c:" without the NUL is plain text.
  memcpy(image.data() + 0x4300, ":c:x", 5);
  EXPECT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK);
  EXPECT_STREQ(back->code, ":c:x");
}

TEST(CartImage, ResourceFileCarriesTheHeadCartridgeWhole) {
  // data.pod is built by podtool from assets/; its head cartridge must be
  // what the text loader makes of assets/head.q7.
  const std::string pod_path = std::string(ORRERY_BUILD_DIR) + "/data.pod";
  int status = -1;
  auto pod = vell_load_pod(pod_path.c_str(), &status);
  ASSERT_TRUE(pod) << "status " << status;
  const vell_pod_item *item = vell_pod_get(pod.get(), k_pod_first_cart);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->kind, POD_CART);
  EXPECT_EQ(item->name, "head");
  ASSERT_EQ(item->size, static_cast<uint32_t>(k_cart_image_bytes));

  cart_ptr text(vell_load_orrery_cart(ORRERY_SOURCE_DIR "/assets/head.q7"));
  ASSERT_TRUE(text);
  cart_ptr image(vell_create_orrery_cart());
  ASSERT_EQ(load_orrery_cart_32k(image.get(), item->data), CART_IMAGE_OK);
  EXPECT_STREQ(image->code, text->code);
  EXPECT_NE(std::string(image->code).find("head cartridge"), std::string::npos);
  for (int32_t a = 0; a < 0x4300; a++)
    ASSERT_EQ(orrery_peek(nullptr, image.get(), a), orrery_peek(nullptr, text.get(), a)) << a;
}
