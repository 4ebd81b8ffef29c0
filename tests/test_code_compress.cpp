// Program text compression: exact blocks for chosen texts, the window's
// edge, the decoder's refusals, legacy footers and round trips.
#include "support/test.h"

namespace {

using bytes = std::vector<uint8_t>;

bytes header(int32_t len) {
  return {':', 'c', ':', 0, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len), 0, 0};
}

bytes cat(bytes a, const bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string decode(const bytes &block, int *status = nullptr) {
  std::vector<char> out(70000);
  int32_t len = -1;
  const int s = decompress_mini(block.data(), static_cast<int32_t>(block.size()), out.data(), 65537, &len);
  if (status) *status = s;
  return std::string(out.data(), static_cast<size_t>(len));
}

const char k_footer_1[] = "if(_update60)_update=function()_update60()_update60()end";
const char k_footer_2[] = "if(_update60)_update=function()_update60()_update_buttons()_update60()end";

}  // namespace

TEST(CodeCompress, BlocksForChosenTexts) {
  const std::string twenty = "abcdefghijklmnopqrst";
  const std::string far_3120 = "XYZ" + std::string(3117, '.') + "XYZ";
  const std::string far_3121 = "XYZ" + std::string(3118, '.') + "XYZ";
  // Name, text, the block's first bytes (all of it when the tail is empty),
  // its last bytes, whether compress_mini returns the text itself.
  const std::tuple<const char *, std::string, bytes, bytes, bool> rows[] = {
      {"empty", "", header(0), {}, true},
      // The second reference could reach back 3 or 6; the oldest wins.
      {"abcabcabc", "abcabcabc", cat(header(9), {13, 14, 15, 60, 3 + 1 * 16, 60, 6 + 1 * 16}), {}, true},
      {"upper case", "ABC", cat(header(3), {0, 'A', 0, 'B', 0, 'C'}), {}, true},
      {"table characters", "\n 09az!_", cat(header(8), {1, 2, 3, 12, 13, 38, 39, 59}), {}, true},
      // Twenty characters repeated: one reference of 17, then one of 3.
      {"repeat of 20",
       twenty + twenty,
       cat(cat(header(40), {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32}),
           {61, 4 + 15 * 16, 61, 4 + 1 * 16}),
       {},
       false},
      {"3120 back", far_3120, header(3123), {255, 0 + 1 * 16}, false},
      {"3121 back", far_3121, header(3124), {0, 'X', 0, 'Y', 0, 'Z'}, false},
  };
  for (const auto &[name, text, start, tail, plain] : rows) {
    SCOPED_TRACE(name);
    bytes block, out;
    compress_mini_block(text.data(), static_cast<int32_t>(text.size()), &block);
    ASSERT_GE(block.size(), start.size() + tail.size());
    EXPECT_EQ(bytes(block.begin(), block.begin() + start.size()), start);
    EXPECT_EQ(bytes(block.end() - tail.size(), block.end()), tail);
    EXPECT_TRUE(!tail.empty() || block.size() == start.size());
    EXPECT_EQ(decode(block), text);
    const int32_t n = compress_mini(text.data(), static_cast<int32_t>(text.size()), &out);
    EXPECT_EQ(n, static_cast<int32_t>(out.size()));
    EXPECT_EQ(out, plain ? bytes(text.begin(), text.end()) : block);
  }
}

TEST(CodeCompress, DecoderRefusesAndRepairs) {
  const std::string program = "print(\"hello\")\nfunction _update60() x+=1 end\n";
  auto block_of = [](const std::string &text) {
    bytes b;
    compress_mini_block(text.data(), static_cast<int32_t>(text.size()), &b);
    return b;
  };
  // Name, block, status, the text decoded.
  const std::tuple<const char *, bytes, int, std::string> rows[] = {
      {"footer 1 then 2 both dropped", block_of(program + k_footer_2 + k_footer_1), MINI_OK, program},
      {"footer 2 then 1: only the end goes", block_of(program + k_footer_1 + k_footer_2), MINI_OK,
       program + k_footer_1},
      {"footer followed by more stays", block_of(program + k_footer_1 + "\n"), MINI_OK, program + k_footer_1 + "\n"},
      {"reference before the start", cat(header(5), {13, 61, 0x10}), MINI_DAMAGED, "a"},
      {"reference of distance 0", cat(header(5), {13, 60, 0x10}), MINI_DAMAGED, "a"},
      {"tokens end early", cat(header(5), {13, 14}), MINI_DAMAGED, "ab"},
      {"escape without its byte", cat(header(5), {13, 0}), MINI_DAMAGED, "a"},
      {"no header", {':', 'c', ':', 0, 0}, MINI_DAMAGED, ""},
      // A reference may overlap the text it produces; it stops at the stated length.
      {"overlapping reference", cat(header(6), {13, 60, 1 + 15 * 16}), MINI_OK, "aaaaaa"},
      {"escaped NUL and high bytes", cat(header(3), {0, 0xff, 0, 0, 0, 'q'}), MINI_OK, std::string("\xff\0q", 3)},
  };
  for (const auto &[name, block, status, text] : rows) {
    int got = -1;
    EXPECT_EQ(decode(block, &got), text) << name;
    EXPECT_EQ(got, status) << name;
  }

  // A stated length above the output size decodes nothing and leaves the
  // output zero-filled.
  bytes block = block_of("abcdefghij");
  std::vector<char> out(16, 'x');
  int32_t len = -1;
  EXPECT_EQ(decompress_mini(block.data(), static_cast<int32_t>(block.size()), out.data(), 9, &len), MINI_TOO_LONG);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(std::string(out.data(), 9), std::string(9, '\0'));
  EXPECT_EQ(out[9], 'x');
  EXPECT_EQ(decompress_mini(block.data(), static_cast<int32_t>(block.size()), out.data(), 10, &len), MINI_OK);
  EXPECT_EQ(std::string(out.data(), 10), "abcdefghij");
}
