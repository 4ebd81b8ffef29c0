// Decodes arbitrary bytes as a compressed code block into an output of
// exactly the size given (so that AddressSanitizer sees any write past it),
// and compresses the same bytes as program text: the block must decode back
// to the text, and must never be longer than the text.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 70000) return 0;
  // The output size comes from the first byte: small sizes exercise the
  // stated-length refusal.
  const int32_t out_size = size > 0 && data[0] < 16 ? data[0] * 64 : 65537;
  std::vector<char> out(static_cast<size_t>(out_size));
  int32_t len = -1;
  const int status = decompress_mini(data, static_cast<int32_t>(size), out.data(), out_size, &len);
  check(status == MINI_OK || status == MINI_TOO_LONG || status == MINI_DAMAGED);
  check(len >= 0 && len <= out_size);
  static const char zeros[65537] = {};
  if (len < out_size) check(memcmp(out.data() + len, zeros, static_cast<size_t>(out_size - len)) == 0);

  const int32_t text_len = static_cast<int32_t>(size > 65535 ? 65535 : size);
  const char *text = reinterpret_cast<const char *>(data);
  std::vector<uint8_t> block;
  const int32_t n = compress_mini(text, text_len, &block);
  check(n == static_cast<int32_t>(block.size()) && n <= text_len);
  compress_mini_block(text, text_len, &block);
  // Decoding drops the legacy footers, so texts ending in one are not
  // expected back whole.
  if (text_len >= 14 && memcmp(text + text_len - 14, "_update60()end", 14) == 0) return 0;
  std::vector<char> back(65537);
  check(decompress_mini(block.data(), static_cast<int32_t>(block.size()), back.data(), 65537, &len) ==
        MINI_OK);
  check(len == text_len && memcmp(back.data(), text, static_cast<size_t>(text_len)) == 0);
  return 0;
}
