#include <gtest/gtest.h>

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

TEST(CartImage, CodeMustFitIn15360Bytes) {
  cart_ptr c(vell_create_orrery_cart());
  std::vector<uint8_t> image(k_cart_image_bytes);
  memset(c->code, 'x', 15360);
  c->code[15360] = 0;
  ASSERT_EQ(save_orrery_cart_32k(c.get(), image.data()), CART_IMAGE_OK);
  cart_ptr back(vell_create_orrery_cart());
  ASSERT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK);
  EXPECT_EQ(strlen(back->code), 15360u);  // no terminator in the image, none needed

  c->code[15360] = 'x';
  c->code[15361] = 0;
  EXPECT_EQ(save_orrery_cart_32k(c.get(), image.data()), CART_IMAGE_CODE_TOO_LARGE);

  // A compressed code block cannot be read yet: the load fails with empty code.
  memcpy(image.data() + 0x4300, k_compressed_code_marker, 4);
  image[0x4304] = 0;
  image[0x4305] = 5;
  EXPECT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_BAD_CODE);
  EXPECT_STREQ(back->code, "");
  // ":c:" without the NUL is plain text.
  image[0x4303] = 'x';
  EXPECT_EQ(load_orrery_cart_32k(back.get(), image.data()), CART_IMAGE_OK);
  EXPECT_EQ(std::string(back->code, 4), ":c:x");
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
