// Preprocesses arbitrary bytes into an output buffer of exactly the given
// size (so that AddressSanitizer sees any write past it). The result must be
// NUL-terminated inside the buffer and, when it fits, have exactly as many
// lines as the program text. An input starting with 0xff picks a small
// buffer from its second byte, to exercise truncation.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const bool small = size >= 2 && data[0] == 0xff;
  const size_t out_size = small ? 1 + data[1] : k_preprocess_buffer_size;
  const std::string text(reinterpret_cast<const char *>(data) + (small ? 2 : 0), size - (small ? 2 : 0));
  std::vector<char> out(out_size);
  const int status = orrery_preprocess(text.c_str(), out.data(), out_size);
  check(status == PREPROCESS_OK || status == PREPROCESS_TRUNCATED);
  const char *nul = static_cast<const char *>(memchr(out.data(), 0, out_size));
  check(nul != nullptr);
  const auto lines = std::count(text.c_str(), text.c_str() + strlen(text.c_str()), '\n');
  const char *result = out.data();
  check(status != PREPROCESS_OK || lines >= k_preprocess_max_lines || lines == std::count(result, nul, '\n'));
  return 0;
}
