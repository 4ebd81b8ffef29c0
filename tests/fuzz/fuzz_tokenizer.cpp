// Tokenizes arbitrary bytes. Every token must move forward and stay inside
// the text, the end must come at the text's NUL, count_tokens must agree with
// the tokens read one by one, and remembering failed block-comment searches
// must not change a single token.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "script/tokenizer.h"

namespace {

struct token_seen {
  int code;
  const char *next;
};

// Reads the whole text; with `first` the text is registered through
// get_first_token, otherwise it is read with get_next_token alone.
std::vector<token_seen> read_all(const char *begin, const char *end, bool first) {
  std::vector<token_seen> seen;
  const char *p = begin;
  const char *next = first ? get_first_token(begin) : get_next_token(begin);
  for (;;) {
    const int code = get_token();
    if (next < p || next > end) __builtin_trap();
    if (code < TOKEN_EOF || code > 255) __builtin_trap();
    if (strlen(tokenizer.ident) >= k_token_text_size) __builtin_trap();
    (void)get_token_color(code);
    seen.push_back({code, next});
    if (code == TOKEN_EOF) {
      if (next != end) __builtin_trap();
      break;
    }
    if (next == p) __builtin_trap();
    p = next;
    next = get_next_token(p);
  }
  end_tokenizing();
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back(0);
  const char *begin = text.data();
  const char *end = begin + strlen(begin);

  // Some inputs register their first words as API names.
  init_api_function_names();
  if (size > 0 && (data[0] & 1)) {
    const char *w = begin;
    for (int i = 0; i < 4 && *w; i++) {
      const char *e = w;
      while (*e && *e != ' ') e++;
      std::vector<char> name(w, e);
      name.push_back(0);
      (void)add_api_function_name(name.data());
      w = *e ? e + 1 : e;
    }
  }

  const std::vector<token_seen> with_memo = read_all(begin, end, true);
  const std::vector<token_seen> plain = read_all(begin, end, false);
  if (with_memo.size() != plain.size()) __builtin_trap();
  int counted = 0;
  for (size_t i = 0; i < plain.size(); i++) {
    if (with_memo[i].code != plain[i].code || with_memo[i].next != plain[i].next) __builtin_trap();
    if (!is_free_token(plain[i].code)) counted++;
  }
  if (count_tokens(begin) != counted) __builtin_trap();
  init_api_function_names();
  return 0;
}
