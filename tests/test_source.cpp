// Program text before it reaches the interpreter: the tokenizer (token
// counts, kinds and extents, positions, API names, colours) and the
// preprocessor (every notation rewritten exactly, line counts kept for any
// program, output bounded however long the input).
#include "support/test.h"

namespace {

// Preprocesses `source` into an output buffer of `size` bytes followed by a
// guard area, and checks that nothing was written past the buffer.
std::string preprocess(const std::string &source, size_t size = k_preprocess_buffer_size, int *status = nullptr) {
  std::vector<char> out(size + 64, 'Z');
  const int st = orrery_preprocess(source.c_str(), out.data(), size);
  if (status) *status = st;
  EXPECT_EQ(std::string(out.begin() + static_cast<long>(size), out.end()), std::string(64, 'Z'))
      << "output written past its buffer";
  EXPECT_NE(memchr(out.data(), 0, size), nullptr) << "output not NUL-terminated";
  return std::string(out.data());
}

size_t lines_of(const std::string &text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// Every token of `text` up to the end of text, as its kind (the character
// of a one-character token, or a tag) and the text it covers without the
// white space before it, separated by spaces.
std::string kinds_of(const std::string &text) {
  static const std::pair<int, const char *> tags[] = {
      {TOKEN_NAME, "N"},        {TOKEN_NUMBER, "D"},      {TOKEN_STRING, "S"}, {TOKEN_COMMENT, "C"},
      {TOKEN_NEWLINE, "L"},     {TOKEN_API, "A"},         {TOKEN_LE, "LE"},    {TOKEN_NE, "NE"},
      {TOKEN_COMPOUND, "OP"},   {TOKEN_CONCAT, "CAT"},    {TOKEN_END, "END"},  {TOKEN_NOT, "NOT"},
      {TOKEN_ELSEIF, "ELSEIF"}, {TOKEN_CONSTANT, "CONST"}};
  std::string out;
  const char *p = text.c_str();
  for (const char *next = get_first_token(p); get_token() != TOKEN_EOF; next = get_next_token(p)) {
    const char *start = p;
    while (*start == ' ' || *start == '\t' || *start == '\r' || *start == '\b') start++;
    std::string kind = get_token() >= 0 ? std::string(1, static_cast<char>(get_token())) : "?";
    for (const auto &[code, tag] : tags)
      if (code == get_token()) kind = tag;
    out += (out.empty() ? "" : " ") + kind + "[" + std::string(start, next) + "]";
    p = next;
  }
  end_tokenizing();
  return out;
}

class Tokenizer : public ::testing::Test {
 protected:
  void SetUp() override { init_api_function_names(); }
  void TearDown() override { init_api_function_names(); }
};

}  // namespace

TEST(Preprocess, RewritesNotationsAndKeepsEveryLine) {
  const std::pair<const char *, const char *> cases[] = {
      // Print shorthand; the other passes are skipped on a print line, the one-line if is not.
      {"?x", "print(x)"},
      {"?a != \x8b", "print(a != \x8b)"},
      {"?x if (a) b()", "print(x if (a) then  b()) end "},
      // != outside strings.
      {"if a!=b and c != d then", "if a~=b and c ~= d then"},
      {"s = 'x' != [[!=]] != \"!=\"", "s = 'x' ~= [[!=]] ~= \"!=\""},
      // Comments go; a block comment's newlines follow its line, a long string keeps them in place.
      {"x = 1 // note\ny = 2", "x = 1\ny = 2"},
      {"a = 1 --[[ one\ntwo\nthree ]] b = 2\nc = 3", "a = 1 b = 2\n\n\nc = 3"},
      {"s = [[one\ntwo]] x += 1\ny = 2", "s = [[one\ntwo]] x = x + ( 1) \ny = 2"},
      {"--[[ abc\nx += 1", "\nx = x + ( 1) "},
      {"a=b--[[c]]c=d", "a=b c=d"},
      // Compound assignments: targets, one per pass (the first kind present first), none at a line's start.
      {"a.b[i] *= f(2) y = 3", "a.b[i] = a.b[i] * ( f(2))  y = 3"},
      {"a -= 1 b += 2", "a = a - ( 1)  b = b + ( 2) "},
      {"+= 1 x += 2", "+= 1 x += 2"},
      {"s = \"x += 1\" x += 1", "s = \"x += 1\" x = x + ( 1) "},
      {"s = \"\\\\\" x += 1", "s = \"\\\\\" x = x + ( 1) "},  // an escaped backslash ends its string
      {"t[ [[a\nb]] ] += 1\nx = 2", "t[ [[a\nb]] ] += 1\nx = 2"},  // a target holding a newline: left alone
      // The right-hand side stops where the expression does.
      {"x += -y * 2 ^ #t % 3", "x = x + ( -y * 2 ^ #t % 3) "},
      {"x += (1 + (2)) * f(g(3), [[)]])", "x = x + ( (1 + (2)) * f(g(3), [[)]])) "},
      {"x += [[a\nb]]\ny = 2", "x = x + ( [[a\nb]]) \ny = 2"},
      // One-line if, and what is left alone.
      {"if (a) b()", "if (a) then  b() end "},
      {"if (a != b) x += 1", "if (a ~= b) then  x = x + ( 1)  end "},
      {"if (a) if (b) c()", "if (a) then  if (b) c() end "},
      {"if (a) then b() end", "if (a) then b() end"},
      {"if (a) (f)()", "if (a) (f)()"},
      // Button glyphs become numbers outside strings, one of each kind per pass before that pass's compound rewrite.
      {"b = {\x8b, \x91, \x94, \x83, \x8e, \x97, \x8f}", "b = {0, 1, 2, 3, 4, 5, 6}"},
      {"print(\"\x8e to jump\", btn(\x8e), [[\x91]])", "print(\"\x8e to jump\", btn(4), [[\x91]])"},
      {"\x8b" "a \x8b" "b += 1", "0a 0b = b + ( 1) "}};
  for (const auto &[in, out] : cases) EXPECT_EQ(preprocess(in), out) << "input: " << in;
}

TEST(Preprocess, RealisticProgramsRewriteExactlyAndCompile) {
  for (const char *name : {"cave_flyer", "particles", "title_menu"}) {
    const std::string source = read_file(ORRERY_TEST_DATA "/preprocess/" + std::string(name) + ".code");
    ASSERT_FALSE(source.empty()) << name;
    const std::string out = preprocess(source);
    EXPECT_EQ(out, read_file(ORRERY_TEST_DATA "/preprocess/" + std::string(name) + ".expected")) << name;
    EXPECT_EQ(lines_of(out), lines_of(source)) << name;
    lua_State *L = orrery_lua_open();
    EXPECT_EQ(luaL_loadstring(L, out.c_str()), LUA_OK) << name << ": " << lua_tostring(L, -1);
    orrery_lua_close(L);
  }
}

TEST(Preprocess, KeepsTheLineCountOfAnyProgram) {
  // Pieces glued together at random: every notation, comments and strings
  // that span lines or are left open, and stray brackets.
  const char *pieces[] = {"x += 1",    "y -= f(2)", "t[i] *= 2", "if (a) b()", "if (a)",
                          "then",      " end",      "?x",        " ? \"hi\"",  "a != b",
                          "\x8b",      "\x94\x97",  "-- c",      "// note",    "--[[ a\nb ]]",
                          "--[[ open", "[[ s\n]]",  "[[ open",   "\"q",        "'a\\'b'",
                          "(",         ")",         "[",         "]",          " ",
                          "\n",        "\r\n",      "+=",        "if (",       "if(x)y",
                          "a--[[c]]b", "]]",        "[[",        "--[[[[\n]]", "t[ [[a\nb]] ] += 1"};
  std::mt19937 rng(12345);
  for (int program = 0; program < 3000; program++) {
    std::string source;
    for (int i = 1 + static_cast<int>(rng() % 40); i > 0; i--)
      source += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    const std::string out = preprocess(source);
    ASSERT_EQ(lines_of(out), lines_of(source)) << "source: " << source << "\noutput: " << out;
  }
}

// Output stays within its buffer, lines and rewrites within their bounds,
// however long or hostile the input.
TEST(Preprocess, OutputLinesAndRewritesStayWithinTheirBounds) {
  int status = -1;
  EXPECT_EQ(preprocess("x += 1\ny += 2\n", 16, &status), "x = x + ( 1) \ny");
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);
  EXPECT_EQ(preprocess("abc", 4, &status), "abc");
  EXPECT_EQ(status, PREPROCESS_OK);
  EXPECT_EQ(preprocess("abc\n", 4, &status), "abc");
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);
  EXPECT_EQ(orrery_preprocess("x", nullptr, 10), PREPROCESS_TRUNCATED);
  char buf[4] = "xyz";
  EXPECT_EQ(orrery_preprocess(nullptr, buf, sizeof buf), PREPROCESS_OK);
  EXPECT_STREQ(buf, "");

  // A legal 65536-character program can grow past 128 KiB.
  std::string source;
  while (source.size() + 5 <= 65536) source += "a+=1\n";
  EXPECT_EQ(preprocess(source, k_preprocess_buffer_size, &status).size(), k_preprocess_buffer_size - 1);
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);

  // Text after the last line it handles is dropped; a "//" comment and its
  // newline make one line, not two.
  std::string expected;
  source.clear();
  for (int i = 0; i < 70000; i++) source += "x+=1\n";
  for (int i = 0; i < k_preprocess_max_lines; i++) expected += "x = x + (1) \n";
  EXPECT_EQ(preprocess(source, 1 << 21), expected);
  source.clear();
  for (int i = 0; i < k_preprocess_max_lines - 1; i++) source += "x=1 // c\n";
  source += "last";
  EXPECT_EQ(preprocess(source, 1 << 21).substr(lines_of(source) * 4), "last");

  // A long line is cut; the next line still comes out on line 2.
  source.clear();
  while (source.size() < k_preprocess_buffer_size + 5000) source += "x+=1 ";
  std::string out = preprocess(source + "\ny != 2", 1 << 22);
  ASSERT_EQ(lines_of(out), 1u);
  EXPECT_EQ(out.substr(out.find('\n')), "\ny ~= 2");
  // A long string with many newlines past the cut keeps them all.
  source = "s = [[";
  for (int i = 0; i < 30000; i++) source += "line\n";
  source += "]] x += 1\nz = 3";
  out = preprocess(source, 1 << 22);
  EXPECT_EQ(lines_of(out), lines_of(source));
  EXPECT_EQ(out.substr(out.rfind('\n')), "\nz = 3");
  // A rewrite that would overflow the line is not made.
  source = std::string(k_preprocess_buffer_size - 10, 'v') + " += 1";
  EXPECT_EQ(preprocess(source, 1 << 22), source);

  // No program within the token limit holds 4096 compound assignments on a
  // line; past that many the rest of the line is left as it is.
  source.clear();
  for (int i = 0; i < 4100; i++) source += "a+=1 ";
  out = preprocess(source, 1 << 20);
  size_t rewritten = 0;
  for (size_t at = out.find("a = a + (1) "); at != std::string::npos; at = out.find("a = a + (1) ", at + 1))
    rewritten++;
  EXPECT_EQ(rewritten, 4096u);
  EXPECT_EQ(out.substr(out.size() - 21), "  a+=1 a+=1 a+=1 a+=1");

  // A program full of unclosed comments.
  source.clear();
  expected.clear();
  for (int i = 0; i < 20000; i++) {
    source += "--[[ unclosed\nx != y\n";
    expected += "\nx ~= y\n";
  }
  EXPECT_EQ(preprocess(source, 1 << 20), expected);
}

TEST_F(Tokenizer, CountsTokensLeavingOutTheFreeOnes) {
  // Only 8, 9, 13 and 32 are white space; the text ends at its NUL.
  expect_rows({ROW(count_tokens("x = 1"), 3), ROW(count_tokens("local x = 1"), 3), ROW(count_tokens("f(a, b)"), 4),
               ROW(count_tokens("t.x"), 2), ROW(count_tokens("a:b()"), 3), ROW(count_tokens("-1"), 2),
               ROW(count_tokens("if x then y() end"), 5), ROW(count_tokens("0xFF"), 2), ROW(count_tokens("0xff"), 1),
               ROW(count_tokens("t = {1, 2; [3] = 4}"), 9), ROW(count_tokens("x += 1 y != 2 .. z"), 8),
               ROW(count_tokens("foreach(all(t), add) del(t, 1) menuitem(1)"), 13),
               ROW(count_tokens("-- a comment of any length, with f(x) = 1"), 0),
               ROW(count_tokens("x = 1 --[[ y = 2\n]] // z = 3\nw"), 4), ROW(count_tokens("\"unterminated f(x)\ny"), 2),
               ROW(count_tokens("\b\t\r x \x0b"), 2), ROW(count_tokens("a b\0c d"), 2), ROW(count_tokens(""), 0),
               ROW(count_tokens(nullptr), 0)});
}

TEST_F(Tokenizer, TokensTakeTheirExtentByKind) {
  // Each token as its kind (a character, or N name, D number, S string, C
  // comment, L newline, A API name, a keyword or operator) and its text.
  const std::pair<const char *, const char *> cases[] = {
      // Numbers take only their own digits.
      {"0xFF 1e5 0b12 1..2", "D[0x] N[FF] D[1] N[e5] D[0b1] D[2] D[1..2]"},
      // Strings end at their quote, after an escaped backslash, or at the line end.
      {"'it''s' \"a\\\"b\" \"\\\\\" x", "S['it'] S['s'] S[\"a\\\"b\"] S[\"\\\\\"] N[x]"},
      {"s = \"abc\n'a\\\nb", "N[s] =[=] S[\"abc] L[\n] S['a\\] L[\n] N[b]"},
      // Long brackets nest; an unclosed long string runs to the end, an
      // unclosed block comment (or one with '=' levels) to its line end.
      {"[[a [[b]] c]] t[ [1] ] --[[a [[b]] c]] x",
       "S[[[a [[b]] c]]] N[t] [[[] [[[] D[1] ][]] ][]] C[--[[a [[b]] c]]] N[x]"},
      {"--[[ a\n--[=[ b ]=]\nx = [[s\n", "C[--[[ a] L[\n] C[--[=[ b ]=]] L[\n] N[x] =[=] S[[[s\n]"},
      // An unclosed opener does not hide a later closed one.
      {"--[[ one\n--[[ two\nx ]] y", "C[--[[ one] L[\n] C[--[[ two\nx ]]] N[y]"},
      {"<= ~= != <> %= ... !~ a // rest\nb",
       "LE[<=] NE[~=] NE[!=] NE[<>] OP[%=] CAT[..] .[.] ![!] ~[~] N[a] L[// rest] L[\n] N[b]"},
      // Names are classified by the last list that has them.
      {"elseif nil not foreach spr \x8b\x91 a\x94z",
       "ELSEIF[elseif] CONST[nil] NOT[not] A[foreach] N[spr] N[\x8b\x91] N[a\x94z]"}};
  for (const auto &[text, tokens] : cases) EXPECT_EQ(kinds_of(text), tokens) << text;
  std::string text;
  for (int i = 0; i < 3000; i++) text += "--[[ open\nx=1\n";
  EXPECT_EQ(count_tokens(text.c_str()), 3 * 3000);
}
