// Tokenizes arbitrary bytes. Every token must move forward and stay inside
// the text, the end must come at the text's NUL, count_tokens must agree with
// the tokens read one by one, and remembering failed block-comment searches
// must not change a single token.
#include "fuzz_support.h"

namespace {

// Reads the whole text as (code, end) pairs; with `first` the text is
// registered through get_first_token, otherwise read with get_next_token alone.
std::vector<std::pair<int, const char *>> read_all(const char *begin, const char *end, bool first) {
  std::vector<std::pair<int, const char *>> seen;
  const char *p = begin;
  for (const char *next = first ? get_first_token(begin) : get_next_token(begin);; next = get_next_token(p = next)) {
    const int code = get_token();
    check(next >= p && next <= end && code >= TOKEN_EOF && code <= 255);
    check(strlen(get_token_text()) < k_token_text_size);
    (void)get_token_color(code);
    seen.push_back({code, next});
    if (code == TOKEN_EOF) {
      check(next == end);
      break;
    }
    check(next != p);
  }
  end_tokenizing();
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  const char *begin = text.c_str(), *end = begin + strlen(begin);
  // Some inputs register their first words as API names.
  init_api_function_names();
  std::string word;
  for (size_t i = 0, n = 0; size > 0 && (data[0] & 1) && n < 4 && i <= strlen(begin); i++)
    if (begin[i] == ' ' || begin[i] == 0) {
      (void)add_api_function_name(word.c_str());
      word.clear();
      n++;
    } else {
      word += begin[i];
    }
  const auto with_memo = read_all(begin, end, true), plain = read_all(begin, end, false);
  check(with_memo == plain);
  int counted = 0;
  for (const auto &[code, next] : plain) counted += !is_free_token(code);
  check(count_tokens(begin) == counted);
  init_api_function_names();
  return 0;
}
