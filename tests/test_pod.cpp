// The resource file: writing and reading, nested lists, damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "gfx/bitmap.h"
#include "shell/pod.h"
#include "shell/resources.h"
#include "support/process.h"

namespace {

std::vector<uint8_t> sample_file() {
  vell_pod_writer set;
  const uint8_t rgb[3] = {1, 2, 3};
  set.add(POD_EMPTY, "", nullptr, 0);
  set.add(POD_PALETTE, "palette", rgb, 3);
  set.add(POD_TEXT, "title", reinterpret_cast<const uint8_t *>("orrery"), 6);
  vell_pod_writer top;
  top.add(POD_DATA, "system", reinterpret_cast<const uint8_t *>("abc"), 3);
  top.add_list("resources", set);
  std::vector<uint8_t> image(32768, 7);
  top.add(POD_CART, "head", image.data(), image.size());
  return top.file_bytes();
}

}  // namespace

TEST(Pod, RoundTripWithNestedList) {
  auto bytes = std::make_shared<std::vector<uint8_t>>(sample_file());
  int status = -1;
  auto pod = vell_parse_pod(bytes, &status);
  ASSERT_TRUE(pod);
  EXPECT_EQ(status, POD_OK);
  ASSERT_EQ(pod->items.size(), 3u);
  EXPECT_EQ(pod->items[0].name, "system");
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(pod->items[0].data), pod->items[0].size), "abc");
  const vell_pod *set = vell_pod_list(vell_pod_get(pod.get(), 1));
  ASSERT_TRUE(set);
  EXPECT_EQ(set, vell_pod_list(vell_pod_get(pod.get(), 1))) << "a nested list is parsed once";
  ASSERT_EQ(set->items.size(), 3u);
  EXPECT_EQ(set->items[0].kind, POD_EMPTY);
  EXPECT_EQ(set->items[2].name, "title");
  EXPECT_EQ(pod->items[2].kind, POD_CART);
  EXPECT_EQ(pod->items[2].size, 32768u);
  EXPECT_EQ(vell_pod_get(pod.get(), 3), nullptr);
  EXPECT_EQ(vell_pod_list(vell_pod_get(pod.get(), 0)), nullptr) << "data is not a list";
}

TEST(Pod, DamagedFilesFailCleanly) {
  std::vector<uint8_t> good = sample_file();
  // Every truncation of the file is refused or leaves a list that still
  // holds only complete items; none reads past the end.
  for (size_t n = 0; n < good.size(); n += (n < 200 ? 1 : 997)) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(good.begin(), good.begin() + static_cast<long>(n));
    int status = POD_OK;
    auto pod = vell_parse_pod(bytes, &status);
    EXPECT_FALSE(pod) << "truncated at " << n;
    EXPECT_NE(status, POD_OK);
  }
  auto bad = std::make_shared<std::vector<uint8_t>>(good);
  (*bad)[0] = 'X';
  int status = 0;
  EXPECT_FALSE(vell_parse_pod(bad, &status));
  EXPECT_EQ(status, POD_BAD_MAGIC);

  auto newer = std::make_shared<std::vector<uint8_t>>(good);
  (*newer)[4] = 2;
  EXPECT_FALSE(vell_parse_pod(newer, &status));
  EXPECT_EQ(status, POD_BAD_VERSION);

  // A nested list whose count promises more than its block holds.
  vell_pod_writer inner;
  inner.add(POD_TEXT, "t", reinterpret_cast<const uint8_t *>("x"), 1);
  std::vector<uint8_t> list = inner.list_bytes();
  list[0] = 0xff;
  vell_pod_writer top;
  top.add(POD_LIST, "broken", list.data(), list.size());
  auto file = std::make_shared<std::vector<uint8_t>>(top.file_bytes());
  auto pod = vell_parse_pod(file, &status);
  ASSERT_TRUE(pod);
  EXPECT_EQ(vell_pod_list(vell_pod_get(pod.get(), 0)), nullptr);
}

TEST(Pod, BitmapBlocksRoundTripAndRejectShortData) {
  vell_bitmap *b = vell_create_bitmap(3, 2, 32);
  vell_putpixel(b, 2, 1, 0x80112233u);
  std::vector<uint8_t> block = vell_encode_pod_bitmap(b);
  vell_bitmap *c = vell_decode_pod_bitmap(block.data(), static_cast<uint32_t>(block.size()));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->w, 3);
  EXPECT_EQ(c->depth, 32);
  EXPECT_EQ(vell_getpixel(c, 2, 1), 0x80112233u);
  EXPECT_FALSE(vell_decode_pod_bitmap(block.data(), static_cast<uint32_t>(block.size() - 1)));
  vell_destroy_bitmap(b);
  vell_destroy_bitmap(c);
}

TEST(Pod, BuiltResourceFileHoldsTheConsolesItems) {
  ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), POD_OK);
  const uint8_t *palette = orrery_resource_palette();
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette[0] | palette[1] | palette[2], 0) << "colour 0 is black";
  EXPECT_FALSE(orrery_resource_text(4).empty());
  EXPECT_TRUE(orrery_resource_bitmap(2));
  EXPECT_EQ(orrery_resource_font_glyphs().size(), 256u);
  EXPECT_EQ(orrery_resource_system_cart().compare(0, 16, "orrery cartridge"), 0);
  auto carts = orrery_resource_cart_images();
  ASSERT_FALSE(carts.empty());
  EXPECT_EQ(carts[0].name, "head");
  orrery_release_resources();
}
