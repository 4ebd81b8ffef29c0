#include "script/tokenizer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Keywords and the codes they map to.
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

// Every name with a code of its own: keywords, then header functions, then
// API names, each entered over the ones before it so that the last list
// holding a name decides its code. Open addressing; the table is never more
// than a third full.
struct name_slot {
  const char *name;  // not NUL-terminated here; null for an empty slot
  size_t len;        // bytes of name
  int code;          // token code of the name
};
constexpr size_t k_name_table_size = 1024;  // a power of two
static_assert(k_name_table_size >= 3 * (k_api_name_slots + 27), "name table too small");

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

// The tokenizer's record.
struct tokenizer_record {
  // Overwritten by every token read (the preprocessor, the token counter
  // and the API name list all read through it).
  token_state tokens;
  char api_names[k_api_name_slots][k_api_name_size] = {};  // the API name list
  int api_name_count = 0;                                  // entries of api_names
  name_slot name_table[k_name_table_size] = {};            // see name_slot
  bool name_table_ready = false;                           // name_table holds the keywords at least
  comment_memo memo;                                       // see comment_memo
  std::vector<const char *> open_stack;  // opener positions of the search in progress; kept to reuse its storage
};
tokenizer_record g_tok;

uint32_t hash_name(const char *s, size_t n) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (size_t i = 0; i < n; i++) h = (h ^ static_cast<uint8_t>(s[i])) * 16777619u;
  return h;
}

void enter_name(const char *s, size_t n, int code) {
  for (size_t i = hash_name(s, n) & (k_name_table_size - 1);; i = (i + 1) & (k_name_table_size - 1)) {
    name_slot &slot = g_tok.name_table[i];
    if (!slot.name) {
      slot = {s, n, code};
      return;
    }
    if (slot.len == n && memcmp(slot.name, s, n) == 0) {
      slot.code = code;
      return;
    }
  }
}

void reset_name_table() {
  for (name_slot &slot : g_tok.name_table) slot = {nullptr, 0, 0};
  for (const keyword &k : k_keywords) enter_name(k.name, strlen(k.name), k.code);
  for (const char *f : k_header_functions) enter_name(f, strlen(f), TOKEN_API);
  g_tok.name_table_ready = true;
}

int classify_name(const char *s, size_t n) {
  if (!g_tok.name_table_ready) reset_name_table();
  for (size_t i = hash_name(s, n) & (k_name_table_size - 1);; i = (i + 1) & (k_name_table_size - 1)) {
    const name_slot &slot = g_tok.name_table[i];
    if (!slot.name) return TOKEN_NAME;
    if (slot.len == n && memcmp(slot.name, s, n) == 0) return slot.code;
  }
}


bool is_space(unsigned char c) { return c == 8 || c == 9 || c == 13 || c == 32; }
bool is_alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool is_name_start(unsigned char c) { return is_alpha(c) || c == '_' || c >= 128; }
bool is_name_char(unsigned char c) { return is_name_start(c) || is_digit(c); }

bool in_memo_text(const char *p) {
  auto at = reinterpret_cast<uintptr_t>(p);
  return g_tok.memo.text_begin && at >= reinterpret_cast<uintptr_t>(g_tok.memo.text_begin) &&
         at <= reinterpret_cast<uintptr_t>(g_tok.memo.text_end);
}

// Finds the "]]" that closes the "[[" at `open`, counting nested "[[".
// Returns the position after it, or null when the text ends first.
const char *find_long_close(const char *open) {
  if (g_tok.memo.searched_from && in_memo_text(open) &&
      reinterpret_cast<uintptr_t>(open) >= reinterpret_cast<uintptr_t>(g_tok.memo.searched_from) &&
      std::binary_search(g_tok.memo.unmatched.begin(), g_tok.memo.unmatched.end(), open))
    return nullptr;
  g_tok.open_stack.clear();
  g_tok.open_stack.push_back(open);
  const char *p = open + 2;
  while (*p) {
    if (p[0] == '[' && p[1] == '[') {
      g_tok.open_stack.push_back(p);
      p += 2;
    } else if (p[0] == ']' && p[1] == ']') {
      g_tok.open_stack.pop_back();
      p += 2;
      if (g_tok.open_stack.empty()) return p;
    } else {
      p++;
    }
  }
  if (in_memo_text(open)) {
    g_tok.memo.searched_from = open;
    g_tok.memo.unmatched = g_tok.open_stack;
  }
  return nullptr;
}

const char *line_end(const char *p) {
  while (*p && *p != '\n') p++;
  return p;
}

void set_ident(const char *from, const char *to) {
  size_t n = std::min(static_cast<size_t>(to - from), k_token_text_size - 1);
  memcpy(g_tok.tokens.ident, from, n);
  g_tok.tokens.ident[n] = 0;
}

// Reads one token at p; stores its code and returns the position after it.
const char *read_token(const char *p) {
  g_tok.tokens.ident[0] = 0;
  while (is_space(static_cast<unsigned char>(*p))) p++;
  const unsigned char c = static_cast<unsigned char>(*p);
  const char *q;

  if (c == '-' && p[1] == '-') {
    g_tok.tokens.token = TOKEN_COMMENT;
    if (p[2] == '[' && p[3] == '[') {
      if (const char *close = find_long_close(p + 2)) return close;
    }
    return line_end(p);
  }
  if (c == 0) {
    g_tok.tokens.token = TOKEN_EOF;
    return p;
  }
  if (is_name_start(c)) {
    for (q = p + 1; is_name_char(static_cast<unsigned char>(*q)); q++) {
    }
    set_ident(p, q);
    g_tok.tokens.token = classify_name(p, static_cast<size_t>(q - p));
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
    g_tok.tokens.token = TOKEN_NUMBER;
    return q;
  }
  if (c == '[' && p[1] == '[') {
    q = find_long_close(p);
    if (!q) q = p + strlen(p);
    set_ident(p, q);
    g_tok.tokens.token = TOKEN_STRING;
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
    g_tok.tokens.token = TOKEN_STRING;
    return q;
  }
  if (c == '\n') {
    g_tok.tokens.token = TOKEN_NEWLINE;
    g_tok.tokens.line++;
    return p + 1;
  }

  const char n = p[1];
  if (c == '/' && n == '/') {
    g_tok.tokens.token = TOKEN_NEWLINE;
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
    g_tok.tokens.token = two;
    return p + 2;
  }
  g_tok.tokens.token = c;
  return p + 1;
}

}  // namespace

const char *get_first_token(const char *text) {
  static const char empty[] = "";
  if (!text) text = empty;
  end_tokenizing();
  g_tok.tokens.start = text;
  g_tok.tokens.line = 0;
  g_tok.memo.text_begin = text;
  g_tok.memo.text_end = text + strlen(text);
  return read_token(text);
}

void end_tokenizing() {
  g_tok.memo.text_begin = g_tok.memo.text_end = g_tok.memo.searched_from = nullptr;
  g_tok.memo.unmatched.clear();
}

const char *get_next_token(const char *position) {
  if (!position) {
    g_tok.tokens.token = TOKEN_EOF;
    g_tok.tokens.ident[0] = 0;
    return position;
  }
  return read_token(position);
}

int get_token() { return g_tok.tokens.token; }

const char *get_token_text() { return g_tok.tokens.ident; }

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

void init_api_function_names() {
  g_tok.api_name_count = 0;
  reset_name_table();
}

int add_api_function_name(const char *name) {
  if (!name || !*name || strlen(name) >= k_api_name_size) return API_NAME_BAD;
  if (g_tok.api_name_count >= k_api_name_slots) return API_NAME_LIST_FULL;
  char *slot = g_tok.api_names[g_tok.api_name_count++];
  strcpy(slot, name);
  enter_name(slot, strlen(slot), TOKEN_API);
  return API_NAME_OK;
}

int api_function_name_count() { return g_tok.api_name_count; }
