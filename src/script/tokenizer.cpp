#include "script/tokenizer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

token_state tokenizer;

namespace {

// Keywords and the names they map to; looked up before the built-in and
// registered API names, which win when a name appears in both.
struct keyword {
  const char *name;
  int code;
};
constexpr keyword k_keywords[] = {
    {"function", TOKEN_FUNCTION}, {"end", TOKEN_END},       {"for", TOKEN_FOR},
    {"if", TOKEN_IF},             {"then", TOKEN_THEN},     {"else", TOKEN_ELSE},
    {"elseif", TOKEN_ELSEIF},     {"while", TOKEN_WHILE},   {"do", TOKEN_DO},
    {"in", TOKEN_IN},             {"local", TOKEN_LOCAL},   {"return", TOKEN_RETURN},
    {"repeat", TOKEN_REPEAT},     {"until", TOKEN_UNTIL},   {"goto", TOKEN_GOTO},
    {"break", TOKEN_BREAK},       {"not", TOKEN_NOT},       {"and", TOKEN_AND},
    {"or", TOKEN_OR},             {"true", TOKEN_CONSTANT}, {"false", TOKEN_CONSTANT},
    {"nil", TOKEN_CONSTANT},
};

// Functions the program header defines; they classify like API names.
constexpr const char *k_header_functions[] = {"foreach", "all", "add", "del", "menuitem"};

char api_names[k_api_name_slots][k_api_name_size];
int api_name_count = 0;

// Texts given to get_first_token are often scanned for a block comment
// close that never comes: every unclosed "--[[" searches to the end of the
// text, which on a text full of them takes quadratic time. A failed search
// therefore records which "[[" openers it left unmatched; a later "--[[" in
// the same text whose opener is among them fails without searching again.
// Its "--" forces a later search to pair brackets exactly as the recorded
// one did, so the answer is the same. Openers that the recorded search did
// match are searched normally and succeed, consuming the text they cover.
struct comment_memo {
  const char *text_begin = nullptr;    // the text given to get_first_token
  const char *text_end = nullptr;      // its terminating NUL
  const char *searched_from = nullptr; // first opener of the failed search; null when none failed
  std::vector<const char *> unmatched; // openers left unmatched by it, ascending
};
comment_memo memo;

// Opener positions of the search in progress; kept to reuse its storage.
std::vector<const char *> open_stack;

bool is_space(unsigned char c) { return c == 8 || c == 9 || c == 13 || c == 32; }
bool is_alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool is_name_start(unsigned char c) { return is_alpha(c) || c == '_' || c >= 128; }
bool is_name_char(unsigned char c) { return is_name_start(c) || is_digit(c); }

bool in_memo_text(const char *p) {
  auto at = reinterpret_cast<uintptr_t>(p);
  return memo.text_begin && at >= reinterpret_cast<uintptr_t>(memo.text_begin) &&
         at <= reinterpret_cast<uintptr_t>(memo.text_end);
}

// Finds the "]]" that closes the "[[" at `open`, counting nested "[[".
// Returns the position after it, or null when the text ends first.
const char *find_long_close(const char *open) {
  if (memo.searched_from && in_memo_text(open) &&
      reinterpret_cast<uintptr_t>(open) >= reinterpret_cast<uintptr_t>(memo.searched_from) &&
      std::binary_search(memo.unmatched.begin(), memo.unmatched.end(), open))
    return nullptr;
  open_stack.clear();
  open_stack.push_back(open);
  const char *p = open + 2;
  while (*p) {
    if (p[0] == '[' && p[1] == '[') {
      open_stack.push_back(p);
      p += 2;
    } else if (p[0] == ']' && p[1] == ']') {
      open_stack.pop_back();
      p += 2;
      if (open_stack.empty()) return p;
    } else {
      p++;
    }
  }
  if (in_memo_text(open)) {
    memo.searched_from = open;
    memo.unmatched = open_stack;
  }
  return nullptr;
}

const char *line_end(const char *p) {
  while (*p && *p != '\n') p++;
  return p;
}

int classify_name(const char *name) {
  for (int i = 0; i < api_name_count; i++)
    if (strcmp(api_names[i], name) == 0) return TOKEN_API;
  for (const char *f : k_header_functions)
    if (strcmp(f, name) == 0) return TOKEN_API;
  for (const keyword &k : k_keywords)
    if (strcmp(k.name, name) == 0) return k.code;
  return TOKEN_NAME;
}

void set_ident(const char *from, const char *to) {
  size_t n = std::min(static_cast<size_t>(to - from), k_token_text_size - 1);
  memcpy(tokenizer.ident, from, n);
  tokenizer.ident[n] = 0;
}

// Reads one token at p; stores its code and returns the position after it.
const char *read_token(const char *p) {
  tokenizer.ident[0] = 0;
  while (is_space(static_cast<unsigned char>(*p))) p++;
  const unsigned char c = static_cast<unsigned char>(*p);
  const char *q;

  if (c == '-' && p[1] == '-') {
    tokenizer.token = TOKEN_COMMENT;
    if (p[2] == '[' && p[3] == '[') {
      if (const char *close = find_long_close(p + 2)) return close;
    }
    return line_end(p);
  }
  if (c == 0) {
    tokenizer.token = TOKEN_EOF;
    return p;
  }
  if (is_name_start(c)) {
    for (q = p + 1; is_name_char(static_cast<unsigned char>(*q)); q++) {
    }
    set_ident(p, q);
    // Names longer than any keyword or API name cannot match one, and their
    // copy in ident may be cut short.
    tokenizer.token = static_cast<size_t>(q - p) < k_api_name_size ? classify_name(tokenizer.ident)
                                                                   : TOKEN_NAME;
    return q;
  }
  if (is_digit(c)) {
    q = p + 1;
    if (*q == 'b') {
      for (q++; *q == '0' || *q == '1' || *q == '.'; q++) {
      }
    } else if (*q == 'x') {
      for (q++; is_digit(static_cast<unsigned char>(*q)) || (*q >= 'a' && *q <= 'f') || *q == '.';
           q++) {
      }
    } else {
      while (is_digit(static_cast<unsigned char>(*q)) || *q == '.') q++;
    }
    set_ident(p, q);
    tokenizer.token = TOKEN_NUMBER;
    return q;
  }
  if (c == '[' && p[1] == '[') {
    q = find_long_close(p);
    if (!q) q = p + strlen(p);
    set_ident(p, q);
    tokenizer.token = TOKEN_STRING;
    return q;
  }
  if (c == '"' || c == '\'') {
    // A backslash escapes the next character, so "\\" ends at its third
    // quote; a newline ends the string in any case (and is not part of it).
    for (q = p + 1; *q && *q != '\n'; q++) {
      if (*q == '\\' && q[1] && q[1] != '\n') {
        q++;
      } else if (static_cast<unsigned char>(*q) == c) {
        q++;
        break;
      }
    }
    set_ident(p, q);
    tokenizer.token = TOKEN_STRING;
    return q;
  }
  if (c == '\n') {
    tokenizer.token = TOKEN_NEWLINE;
    tokenizer.line++;
    return p + 1;
  }

  const char n = p[1];
  if (c == '/' && n == '/') {
    tokenizer.token = TOKEN_NEWLINE;
    return line_end(p);
  }
  int two = 0;
  if (n == '=') {
    switch (c) {
      case '<': two = TOKEN_LE; break;
      case '>': two = TOKEN_GE; break;
      case '~':
      case '!': two = TOKEN_NE; break;
      case '=': two = TOKEN_EQ; break;
      case '+':
      case '-':
      case '*':
      case '/':
      case '%': two = TOKEN_COMPOUND; break;
      default: break;
    }
  } else if (c == '<' && n == '>') {
    two = TOKEN_NE;
  } else if (c == '.' && n == '.') {
    two = TOKEN_CONCAT;
  }
  if (two) {
    tokenizer.token = two;
    return p + 2;
  }
  tokenizer.token = c;
  return p + 1;
}

}  // namespace

const char *get_first_token(const char *text) {
  static const char empty[] = "";
  if (!text) text = empty;
  end_tokenizing();
  tokenizer.start = text;
  tokenizer.line = 0;
  memo.text_begin = text;
  memo.text_end = text + strlen(text);
  return read_token(text);
}

void end_tokenizing() {
  memo.text_begin = memo.text_end = memo.searched_from = nullptr;
  memo.unmatched.clear();
}

const char *get_next_token(const char *position) {
  if (!position) {
    tokenizer.token = TOKEN_EOF;
    tokenizer.ident[0] = 0;
    return position;
  }
  return read_token(position);
}

int get_token() { return tokenizer.token; }

int count_tokens(const char *text) {
  int count = 0;
  for (const char *p = get_first_token(text);; p = get_next_token(p)) {
    const int code = get_token();
    if (code == TOKEN_EOF) break;
    if (!is_free_token(code)) count++;
  }
  end_tokenizing();
  return count;
}

bool is_free_token(int code) {
  switch (code) {
    case TOKEN_NEWLINE:
    case TOKEN_COMMENT:
    case TOKEN_LOCAL:
    case TOKEN_END:
    case TOKEN_EOF:
    case ';':
    case ')':
    case '}':
    case ']':
    case '.':
    case ',':
    case ':':
      return true;
    default:
      return false;
  }
}

int get_token_color(int code) {
  if (code == TOKEN_API) return 11;
  if ((code >= TOKEN_FUNCTION && code <= TOKEN_BREAK) || code == TOKEN_NOT || code == TOKEN_AND ||
      code == TOKEN_OR)
    return 14;
  if (code == TOKEN_COMMENT) return 13;
  if (code == TOKEN_STRING || code == TOKEN_NUMBER || code == TOKEN_CONSTANT) return 12;
  if (code == TOKEN_NAME || code == TOKEN_NEWLINE || code == TOKEN_EOF) return 6;
  return 7;
}

void init_api_function_names() { api_name_count = 0; }

int add_api_function_name(const char *name) {
  if (!name || !*name || strlen(name) >= k_api_name_size) return API_NAME_BAD;
  if (api_name_count >= k_api_name_slots) return API_NAME_LIST_FULL;
  strcpy(api_names[api_name_count++], name);
  return API_NAME_OK;
}

int api_function_name_count() { return api_name_count; }
