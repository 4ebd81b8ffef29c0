// Preprocesses arbitrary bytes into an output buffer of exactly the given
// size (so that AddressSanitizer sees any write past it). The result must be
// NUL-terminated inside the buffer and, when it fits, have exactly as many
// lines as the program text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "script/preprocess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // An input starting with 0xff picks a small output buffer from its second
  // byte, to exercise truncation.
  size_t out_size = k_preprocess_buffer_size;
  if (size >= 2 && data[0] == 0xff) {
    out_size = 1 + data[1];
    data += 2;
    size -= 2;
  }
  std::vector<char> text(data, data + size);
  text.push_back(0);
  std::vector<char> out(out_size);

  const int status = orrery_preprocess(text.data(), out.data(), out_size);
  if (status != PREPROCESS_OK && status != PREPROCESS_TRUNCATED) __builtin_trap();
  const char *nul = static_cast<const char *>(memchr(out.data(), 0, out_size));
  if (!nul) __builtin_trap();
  if (status == PREPROCESS_OK) {
    const char *src = text.data();
    const char *src_end = src + strlen(src);
    const char *result = out.data();
    const auto in_lines = std::count(src, src_end, '\n');
    const auto out_lines = std::count(result, nul, '\n');
    if (in_lines < k_preprocess_max_lines && in_lines != out_lines) __builtin_trap();
  }
  return 0;
}
