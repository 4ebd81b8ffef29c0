#include "script/preprocess.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "script/tokenizer.h"

namespace {

// Button glyph bytes of the console's character set; glyph i becomes the
// digit i. Within a pass they are replaced in this order.
constexpr unsigned char k_glyphs[7] = {0x8b, 0x91, 0x94, 0x83, 0x8e, 0x97, 0x8f};

// Compound assignment operators; the first kind present in a line is
// rewritten first, wherever it stands.
constexpr const char *k_compound_ops[5] = {"+=", "-=", "*=", "/=", "%="};

constexpr size_t k_line_max = k_preprocess_buffer_size - 1;  // longest line, in bytes
constexpr size_t k_none = SIZE_MAX;                           // "not found" for searches

// Limits on the compound-assignment rewrites of one line. Within the token
// limit a program holds at most about 2700 compound assignments; more (and
// long re-reads) only arise when a bracketed target holding operators is
// written out again and again, which never gives code that compiles. The
// limits keep such a line from taking seconds; its rewriting just stops.
constexpr int k_max_compound_rewrites = 4096;
constexpr size_t k_max_reread_bytes = 16u << 20;  // bytes re-read by the tokenizer

// The preprocessor's working state: the line being rewritten and what is
// known about its tokens. Overwritten by every line.
struct line_state {
  // The line being rewritten, NUL-terminated; it never holds a NUL of its own.
  char line[k_preprocess_buffer_size] = {};
  size_t line_len = 0;  // bytes of line before its NUL
  // A rewritten line is assembled here, then copied back into `line`.
  char work[k_preprocess_buffer_size] = {};
  // 1 where the byte of `line` belongs to a string token or to the white
  // space in front of one; searches ignore matches that touch a marked byte.
  uint8_t mask[k_preprocess_buffer_size] = {};
  // Token starts of `line` (where the white space before each token
  // begins), ascending and starting with 0; they let a rewrite re-tokenize
  // only the part of the line it changed.
  uint32_t token_starts[k_preprocess_buffer_size + 1] = {};
  size_t token_start_count = 0;  // entries of token_starts
  // Token starts found while re-tokenizing, before they are spliced in.
  uint32_t new_starts[k_preprocess_buffer_size + 1] = {};
  // Set when `line` holds a comment token; a block comment may look far
  // past its own end, so such a line is always re-tokenized whole.
  bool line_has_comment = false;
  // Bytes the tokenizer re-read for the compound rewrites of the current line.
  size_t reread_bytes = 0;
};
line_state g_line;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_space(char c) { return c == 8 || c == 9 || c == 13 || c == 32; }
bool is_alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_target_char(unsigned char c) {
  return is_alpha(c) || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == ']';
}
// Tokens after which the right-hand side of a compound assignment expects
// another operand.
bool is_operator_token(int code) {
  return code == '+' || code == '-' || code == '*' || code == '/' || code == '%' || code == '^' ||
         code == '#' || code == '.' || code == ':';
}

int count_newlines(const char *from, size_t n) {
  return static_cast<int>(std::count(from, from + n, '\n'));
}

// Collects a new line in `work`; commit() replaces `line` with it unless it
// grew past k_line_max, in which case the line stays as it was.
struct line_builder {
  size_t len = 0;         // bytes collected
  bool overflow = false;  // something did not fit

  void add(const char *s, size_t n) {
    if (overflow || n > k_line_max - len) {
      overflow = true;
      return;
    }
    memcpy(g_line.work + len, s, n);
    len += n;
  }
  void add(const char *s) { add(s, strlen(s)); }
  bool commit() {
    if (overflow) return false;
    memcpy(g_line.line, g_line.work, len);
    g_line.line[len] = 0;
    g_line.line_len = len;
    return true;
  }
};

// Re-tokenizes `line` from token_starts[first] on, marking the mask as it
// goes. The old token starts from index `tail` on lie in the unchanged end
// of the line, which has moved by `shift` bytes (modulo 2^n); once a new
// token starts where one of them now stands, the rest of the line reads as
// before, its mask is already in place and its token starts only move.
void retokenize(size_t first, size_t tail, size_t shift) {
  size_t found = 0;  // entries of new_starts
  size_t j = tail;
  for (size_t p = g_line.token_starts[first];;) {
    const size_t next = static_cast<size_t>(get_next_token(g_line.line + p) - g_line.line);
    const int code = get_token();
    memset(g_line.mask + p, code == TOKEN_STRING, next - p);
    if (code == TOKEN_EOF) {
      g_line.mask[g_line.line_len] = 0;
      j = g_line.token_start_count;
      break;
    }
    if (code == TOKEN_COMMENT) g_line.line_has_comment = true;
    p = next;
    while (j < g_line.token_start_count && g_line.token_starts[j] + shift < p) j++;
    if (j < g_line.token_start_count && g_line.token_starts[j] + shift == p) break;
    g_line.new_starts[found++] = static_cast<uint32_t>(p);
  }
  g_line.reread_bytes += (j < g_line.token_start_count ? g_line.token_starts[j] + shift : g_line.line_len) - g_line.token_starts[first];
  const size_t moved = g_line.token_start_count - j;
  uint32_t *dest = g_line.token_starts + first + 1 + found;
  memmove(dest, g_line.token_starts + j, moved * sizeof *dest);
  for (size_t k = 0; k < moved; k++) dest[k] = static_cast<uint32_t>(dest[k] + shift);
  memcpy(g_line.token_starts + first + 1, g_line.new_starts, found * sizeof *g_line.new_starts);
  g_line.token_start_count = first + 1 + found + moved;
}

void compute_mask() {
  g_line.token_starts[0] = 0;
  g_line.token_start_count = 1;
  g_line.line_has_comment = false;
  retokenize(0, 1, 0);
}

// Brings the mask and token starts up to date after a change that kept the
// first `kept` bytes of the line and moved the old bytes from `old_tail` to
// `old_len` to the end of the new line. A token reads only its own bytes and
// at most one byte after them, so the tokens that ended before `kept` stand
// as they did.
void update_mask(size_t kept, size_t old_tail, size_t old_len) {
  if (g_line.line_has_comment || kept == 0) {
    compute_mask();
    return;
  }
  const size_t shift = g_line.line_len - old_len;  // modulo 2^n when the line shrank
  memmove(g_line.mask + (old_tail + shift), g_line.mask + old_tail, old_len - old_tail + 1);
  const uint32_t *begin = g_line.token_starts;
  const uint32_t *end = begin + g_line.token_start_count;
  const size_t first = static_cast<size_t>(std::upper_bound(begin, end, kept - 1) - begin) - 1;
  const size_t tail = static_cast<size_t>(std::lower_bound(begin, end, old_tail) - begin);
  retokenize(first, tail, shift);
}

// First position at or after `from` where the n bytes of `pat` stand with
// none of them masked, or k_none.
size_t find_unmasked(const char *pat, size_t n, size_t from) {
  const char *p = g_line.line + from;
  const char *end = g_line.line + g_line.line_len;
  while (static_cast<size_t>(end - p) >= n) {
    p = static_cast<const char *>(memchr(p, pat[0], static_cast<size_t>(end - p) - n + 1));
    if (!p) break;
    const size_t at = static_cast<size_t>(p - g_line.line);
    if (memcmp(p, pat, n) == 0 && std::find(g_line.mask + at, g_line.mask + at + n, 1) == g_line.mask + at + n)
      return at;
    p++;
  }
  return k_none;
}

// End of the right-hand side of a compound assignment whose operand text
// starts at `from`: where the expression stops, as a position in the line.
size_t find_rhs_end(size_t from) {
  enum { EXPECT_OPERAND, IN_BRACKETS, AFTER_OPERAND } state = EXPECT_OPERAND;
  int depth = 0;
  const char *p = g_line.line + from;
  for (;;) {
    const char *next = get_next_token(p);
    const int code = get_token();
    const size_t here = static_cast<size_t>(p - g_line.line);
    g_line.reread_bytes += static_cast<size_t>(next - p);
    if (code == TOKEN_EOF || code == TOKEN_NEWLINE) return g_line.line_len;
    if (state == IN_BRACKETS) {
      if (code == '(' || code == '[') {
        depth++;
      } else if ((code == ')' || code == ']') && --depth == 0) {
        state = AFTER_OPERAND;
      }
    } else if (code == '(' || code == '[') {
      state = IN_BRACKETS;
      depth = 1;
    } else if (is_operator_token(code)) {
      state = EXPECT_OPERAND;
    } else if (code == ')' || state == AFTER_OPERAND) {
      // An unbalanced ")" or a second operand in a row ends the expression;
      // it stays, with the white space before it, after the rewrite.
      return here;
    } else {
      state = AFTER_OPERAND;
    }
    p = next;
  }
}

// Rewrites the first compound assignment of the line into "target = target
// op (rhs) rest" and updates the mask; returns true when the line changed.
bool rewrite_compound() {
  size_t p = k_none;
  for (const char *op : k_compound_ops) {
    p = find_unmasked(op, 2, 0);
    if (p != k_none) break;
  }
  if (p == k_none || p == 0) return false;
  const char op = g_line.line[p];

  // The target ends before the spaces in front of the operator and extends
  // back over name characters, dots and whole bracketed parts.
  size_t target_end = p;
  while (target_end > 0 && g_line.line[target_end - 1] == ' ') target_end--;
  size_t target_start = target_end;
  if (target_end > 0) {
    target_start = target_end - 1;
    int depth = g_line.line[target_start] == ']' ? 1 : 0;
    while (target_start > 0) {
      const unsigned char c = static_cast<unsigned char>(g_line.line[target_start - 1]);
      if (depth > 0) {
        if (c == ']') depth++;
        else if (c == '[') depth--;
      } else if (is_target_char(c)) {
        if (c == ']') depth = 1;
      } else {
        break;
      }
      target_start--;
    }
  }
  const size_t target_len = target_end - target_start;
  // The target is written twice; one holding a newline (in a long string)
  // would add a line and shift every line number after it.
  if (memchr(g_line.line + target_start, '\n', target_len)) return false;

  const size_t rhs_start = p + 2;
  const size_t rhs_end = find_rhs_end(rhs_start);
  const char op_text[] = {' ', op, ' ', '(', 0};
  line_builder b;
  b.add(g_line.line, target_end);
  b.add(" = ");
  b.add(g_line.line + target_start, target_len);
  b.add(op_text);
  b.add(g_line.line + rhs_start, rhs_end - rhs_start);
  b.add(") ");
  b.add(g_line.line + rhs_end, g_line.line_len - rhs_end);
  const size_t old_len = g_line.line_len;
  if (!b.commit()) return false;
  update_mask(target_end, rhs_end, old_len);
  return true;
}

// Repeats passes of "!=", glyph and compound-assignment rewrites until a
// pass changes nothing. Replacing "!=" or a glyph keeps the mask and every
// earlier match as they were, so those searches resume where they stopped;
// only a compound rewrite restarts them. "!=" and "~=" are read alike, so
// that replacement also keeps the token starts; a glyph's digit may end or
// join a name, so the token starts around it are brought up to date before
// the next compound rewrite, the only step that uses them.
void run_passes() {
  size_t ne_from = 0;
  size_t glyph_from[7] = {};
  size_t glyphs_replaced[7];  // positions replaced in this pass, ascending
  int glyph_count = 0;
  bool compound_left = true;  // false once no compound assignment can be rewritten
  int rewrites = 0;
  g_line.reread_bytes = 0;
  for (;;) {
    bool changed = false;
    size_t at = find_unmasked("!=", 2, ne_from);
    if (at != k_none) {
      g_line.line[at] = '~';
      ne_from = at + 2;
      changed = true;
    } else {
      ne_from = g_line.line_len;
    }
    for (int g = 0; g < 7; g++) {
      const char glyph = static_cast<char>(k_glyphs[g]);
      at = find_unmasked(&glyph, 1, glyph_from[g]);
      if (at != k_none) {
        g_line.line[at] = static_cast<char>('0' + g);
        int i = glyph_count++;
        for (; i > 0 && glyphs_replaced[i - 1] > at; i--) glyphs_replaced[i] = glyphs_replaced[i - 1];
        glyphs_replaced[i] = at;
        glyph_from[g] = at + 1;
        changed = true;
      } else {
        glyph_from[g] = g_line.line_len;
      }
    }
    // Neither kind of replacement above can create or remove a compound
    // operator, so once none can be rewritten that stays so.
    if (compound_left) {
      // In ascending order each update finds the starts before it current.
      for (int i = 0; i < glyph_count; i++)
        update_mask(glyphs_replaced[i], glyphs_replaced[i] + 1, g_line.line_len);
      if (rewrites < k_max_compound_rewrites && g_line.reread_bytes < k_max_reread_bytes &&
          rewrite_compound()) {
        rewrites++;
        ne_from = 0;
        std::fill(glyph_from, glyph_from + 7, 0);
        changed = true;
      } else {
        compound_left = false;
      }
    }
    glyph_count = 0;
    if (!changed) break;
  }
}

// Gives "if (condition) statement" without "then" its "then ... end".
void rewrite_one_line_if() {
  size_t at = find_unmasked("if(", 3, 0);
  if (at == k_none) at = find_unmasked("if ", 3, 0);
  if (at == k_none || find_unmasked("then", 4, 0) != k_none) return;
  if (at > 0 && !is_blank(g_line.line[at - 1])) return;
  size_t open = at + 2;
  while (is_blank(g_line.line[open])) open++;
  if (g_line.line[open] != '(') return;
  // Parentheses inside strings count too.
  size_t close = open;
  for (int depth = 0;; close++) {
    const char c = g_line.line[close];
    if (c == 0 || c == '\n') return;
    if (c == '(') {
      depth++;
    } else if (c == ')' && --depth == 0) {
      break;
    }
  }
  size_t statement = close + 1;
  while (is_blank(g_line.line[statement])) statement++;
  const unsigned char c = static_cast<unsigned char>(g_line.line[statement]);
  if (!is_alpha(c) && c != '_') return;
  get_next_token(g_line.line + statement);
  if (get_token() == TOKEN_AND || get_token() == TOKEN_OR) return;  // the condition goes on
  line_builder b;
  b.add(g_line.line, close + 1);
  b.add(" then ");
  b.add(g_line.line + close + 1, g_line.line_len - close - 1);
  b.add(" end ");
  b.commit();
}

void rewrite_line() {
  size_t i = 0;
  while (is_blank(g_line.line[i])) i++;
  if (g_line.line[i] == '?') {
    line_builder b;
    b.add("print(");
    b.add(g_line.line + i + 1, g_line.line_len - i - 1);
    b.add(")");
    if (b.commit()) compute_mask();
  } else {
    run_passes();
  }
  rewrite_one_line_if();
}

// The next unread token of the source.
struct source_cursor {
  const char *at;    // where the token (with the white space before it) starts
  const char *next;  // position after it
  int code;          // its token code

  void advance() {
    at = next;
    next = get_next_token(at);
    code = get_token();
  }
};

// Appends source bytes to the line. Bytes past k_line_max are dropped, but
// the newlines among them are still counted so that no line goes missing.
void add_to_line(const char *s, size_t n, int &newlines) {
  const size_t take = std::min(n, k_line_max - g_line.line_len);
  memcpy(g_line.line + g_line.line_len, s, take);
  g_line.line_len += take;
  g_line.line[g_line.line_len] = 0;
  newlines += count_newlines(s + take, n - take);
}

// Copies the source's next line into `line` without comments and counts the
// newlines it consumed (those in block comments, long strings cut off by the
// line limit, and the one that ends it).
void build_line(source_cursor &src, int &newlines) {
  g_line.line_len = 0;
  g_line.line[0] = 0;
  newlines = 0;
  bool after_comment = false;
  for (;;) {
    if (src.code == TOKEN_EOF) return;
    if (src.code == TOKEN_COMMENT) {
      newlines += count_newlines(src.at, static_cast<size_t>(src.next - src.at));
      after_comment = true;
      src.advance();
      continue;
    }
    if (src.code == TOKEN_NEWLINE) {
      const int n = count_newlines(src.at, static_cast<size_t>(src.next - src.at));
      newlines += n;
      src.advance();
      // A "//" comment stops before its newline; take that newline with it
      // so that the comment and its line make one line.
      if (n == 0 && src.code == TOKEN_NEWLINE) {
        newlines++;
        src.advance();
      }
      return;
    }
    // A comment separates the tokens around it like white space does; one
    // space keeps "a--[[c]]b" from becoming the single name "ab".
    const char *token = src.at;
    while (is_space(*token)) token++;
    if (after_comment && token == src.at && g_line.line_len > 0) add_to_line(" ", 1, newlines);
    after_comment = false;
    add_to_line(src.at, static_cast<size_t>(src.next - src.at), newlines);
    src.advance();
  }
}

// Appends n bytes to the output; false when they did not all fit.
bool put(char *output, size_t &len, size_t max, const char *s, size_t n) {
  const size_t take = std::min(n, max - len);
  memcpy(output + len, s, take);
  len += take;
  return take == n;
}

}  // namespace

int orrery_preprocess(const char *source, char *output, size_t output_size) {
  if (!output || output_size == 0) return PREPROCESS_TRUNCATED;
  static const char empty[] = "";
  if (!source) source = empty;

  const size_t out_max = output_size - 1;
  size_t out_len = 0;
  int status = PREPROCESS_OK;
  source_cursor src{source, get_first_token(source), get_token()};
  for (int n = 0; n < k_preprocess_max_lines && src.code != TOKEN_EOF; n++) {
    int newlines = 0;
    build_line(src, newlines);
    compute_mask();
    rewrite_line();
    bool fits = put(output, out_len, out_max, g_line.line, g_line.line_len);
    for (; fits && newlines > 0; newlines--) fits = put(output, out_len, out_max, "\n", 1);
    if (!fits) {
      status = PREPROCESS_TRUNCATED;
      break;
    }
  }
  output[out_len] = 0;
  end_tokenizing();
  return status;
}
