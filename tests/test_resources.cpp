// The resource file: writing and reading nested lists, bitmap blocks, and
// damaged files.
#include "support/test.h"

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
