// The resource file: writing and reading nested lists, damaged files, and
// the built data.pod holding what the console takes from it.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "api/bitmap.h"
#include "shell/pod.h"
#include "shell/resources.h"

namespace {

const uint8_t *bytes_of(const char *s) { return reinterpret_cast<const uint8_t *>(s); }

std::vector<uint8_t> sample_file() {
  vell_pod_writer set, top;
  set.add(POD_EMPTY, "", nullptr, 0);
  set.add(POD_TEXT, "title", bytes_of("orrery"), 6);
  top.add(POD_DATA, "system", bytes_of("abc"), 3);
  top.add_list("resources", set);
  const std::vector<uint8_t> image(32768, 7);
  top.add(POD_CART, "head", image.data(), image.size());
  return top.file_bytes();
}

std::unique_ptr<vell_pod> parse(const std::vector<uint8_t> &bytes, int *status) {
  return vell_parse_pod(std::make_shared<std::vector<uint8_t>>(bytes), status);
}

}  // namespace

TEST(Pod, NestedListsRoundTripAndDamagedFilesFailCleanly) {
  const std::vector<uint8_t> good = sample_file();
  int status = -1;
  auto pod = parse(good, &status);
  ASSERT_TRUE(pod);
  EXPECT_EQ(status, POD_OK);
  ASSERT_EQ(pod->items.size(), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(pod->items[0].data), pod->items[0].size), "abc");
  const vell_pod *set = vell_pod_list(vell_pod_get(pod.get(), 1));
  ASSERT_TRUE(set);
  EXPECT_EQ(set, vell_pod_list(vell_pod_get(pod.get(), 1))) << "a nested list is parsed once";
  EXPECT_EQ(set->items[1].name, "title");
  EXPECT_EQ(pod->items[2].size, 32768u);
  EXPECT_EQ(vell_pod_get(pod.get(), 3), nullptr);
  EXPECT_EQ(vell_pod_list(vell_pod_get(pod.get(), 0)), nullptr) << "data is not a list";
  // Every truncation is refused without reading past the end; so are a bad
  // mark and a newer version.
  for (size_t n = 0; n < good.size(); n += (n < 200 ? 1 : 997)) {
    EXPECT_FALSE(parse(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)), &status)) << n;
    EXPECT_NE(status, POD_OK);
  }
  for (auto [at, value, code] : {std::tuple{0, 'X', POD_BAD_MAGIC}, {4, 2, POD_BAD_VERSION}}) {
    std::vector<uint8_t> bad = good;
    bad[at] = static_cast<uint8_t>(value);
    EXPECT_FALSE(parse(bad, &status));
    EXPECT_EQ(status, code);
  }
  // A nested list whose count promises more than its block holds.
  vell_pod_writer inner, top;
  inner.add(POD_TEXT, "t", bytes_of("x"), 1);
  std::vector<uint8_t> list = inner.list_bytes();
  list[0] = 0xff;
  top.add(POD_LIST, "broken", list.data(), list.size());
  pod = parse(top.file_bytes(), &status);
  ASSERT_TRUE(pod);
  EXPECT_EQ(vell_pod_list(vell_pod_get(pod.get(), 0)), nullptr);
  // Bitmap blocks round trip and refuse short data.
  vell_bitmap *b = vell_create_bitmap(3, 2, 32);
  vell_putpixel(b, 2, 1, 0x80112233u);
  const std::vector<uint8_t> block = vell_encode_pod_bitmap(b);
  vell_bitmap *c = vell_decode_pod_bitmap(block.data(), static_cast<uint32_t>(block.size()));
  ASSERT_TRUE(c);
  EXPECT_EQ(vell_getpixel(c, 2, 1), 0x80112233u);
  EXPECT_FALSE(vell_decode_pod_bitmap(block.data(), static_cast<uint32_t>(block.size() - 1)));
  vell_destroy_bitmap(b);
  vell_destroy_bitmap(c);
}

TEST(Pod, BuiltResourceFileHoldsThePicturesFontAndPaletteTheConsoleUses) {
  ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), POD_OK);
  const uint8_t *pal = orrery_resource_palette();
  std::set<int> colours;
  for (int i = 0; i < 144; i = i == 15 ? 128 : i + 1) colours.insert(pal[i * 3] << 16 | pal[i * 3 + 1] << 8 | pal[i * 3 + 2]);
  EXPECT_EQ(colours.size(), 32u) << "the console and extended colours are all different";
  EXPECT_EQ(pal[0] | pal[1] | pal[2], 0) << "colour 0 is black";
  EXPECT_TRUE(pal[24] >= 0xc0 && pal[25] < 0x60 && pal[26] < 0x60) << "colour 8 is the message bar's red";
  const std::vector<vell_bitmap *> &glyphs = orrery_resource_font_glyphs();
  ASSERT_EQ(glyphs.size(), 256u);
  for (int code : {65, 127, 128, 255}) EXPECT_EQ(glyphs[code]->w * 10 + glyphs[code]->h, code < 128 ? 35 : 75) << code;
  // Pictures by number range: width, height, depth.
  const int pictures[][5] = {{2, 2, 40, 10, 8},       {6, 6, 32, 32, 32},    {8, 8, 160, 205, 32}, {168, 175, 48, 30, 8},
                             {176, 182, 7, 5, 8},     {183, 184, 3, 5, 8},   {185, 185, 7, 5, 8},  {188, 188, 23, 20, 8},
                             {212, 223, 12, 12, 8},   {226, 226, 15, 15, 8}, {229, 244, 12, 12, 8}, {245, 245, 7, 7, 8}};
  for (const auto &p : pictures)
    for (int n = p[0]; n <= p[1]; n++) {
      const vell_bitmap *b = orrery_resource_bitmap(n);
      ASSERT_NE(b, nullptr) << "resource " << n;
      EXPECT_EQ((std::vector<int32_t>{b->w, b->h, b->depth}), (std::vector<int32_t>{p[2], p[3], p[4]})) << n;
      // 8-bit pictures are drawn into screen memory, which keeps only the console colours.
      for (int32_t i = 0; b->depth == 8 && i < b->w * b->h; i++) ASSERT_LT(vell_getpixel(b, i % b->w, i / b->w), 16u) << n;
    }
  EXPECT_EQ(orrery_resource_text(k_res_title), "orrery");
  EXPECT_EQ(orrery_resource_system_cart().compare(0, 16, "orrery cartridge"), 0);
  ASSERT_FALSE(orrery_resource_cart_images().empty());
  EXPECT_EQ(orrery_resource_cart_images()[0].name, "head");
  orrery_release_resources();
}
