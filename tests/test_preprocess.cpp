#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script/preprocess.h"
#include "script/tokenizer.h"

namespace {

constexpr char k_canary = '\x5a';
constexpr size_t k_canary_size = 64;

// Preprocesses `source` into an output buffer of `size` bytes followed by a
// guard area, and checks that nothing was written past the buffer.
std::string preprocess(const std::string &source, size_t size = k_preprocess_buffer_size,
                       int *status = nullptr) {
  std::vector<char> out(size + k_canary_size, k_canary);
  const int st = orrery_preprocess(source.c_str(), out.data(), size);
  if (status) *status = st;
  EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(size), out.end(),
                          [](char c) { return c == k_canary; }))
      << "output written past its buffer";
  EXPECT_NE(memchr(out.data(), 0, size), nullptr) << "output not NUL-terminated";
  return std::string(out.data());
}

size_t lines_of(const std::string &text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct rewrite {
  const char *in;
  const char *out;
};

void expect_rewrites(std::initializer_list<rewrite> cases) {
  for (const rewrite &c : cases) EXPECT_EQ(preprocess(c.in), c.out) << "input: " << c.in;
}

}  // namespace

TEST(Preprocess, PrintShorthand) {
  expect_rewrites({
      {"?x", "print(x)"},
      {"  ? \"hi\"", "print( \"hi\")"},
      {"\t?a, 1, 2 -- where", "print(a, 1, 2)"},
      // The other passes are skipped on a print line.
      {"?a != b", "print(a != b)"},
      {"?\x8b", "print(\x8b)"},
      // A one-line if still applies.
      {"?x if (a) b()", "print(x if (a) then  b()) end "},
      {"x = a ? b", "x = a ? b"},
  });
}

TEST(Preprocess, NotEqualBecomesLuaNotEqual) {
  expect_rewrites({
      {"a != b", "a ~= b"},
      {"if a!=b and c != d then", "if a~=b and c ~= d then"},
      {"s = \"a != b\"", "s = \"a != b\""},
      {"s = 'x' != [[!=]] != \"!=\"", "s = 'x' ~= [[!=]] ~= \"!=\""},
      {"a ~= b", "a ~= b"},
  });
}

TEST(Preprocess, CommentsGoAndEveryLineStays) {
  expect_rewrites({
      {"x -= 1 -- comment", "x = x - ( 1) "},
      {"// note", ""},
      {"x = 1 // note\ny = 2", "x = 1\ny = 2"},
      {"  -- whole line\nx = 1", "\nx = 1"},
      // A block comment leaves its newlines after the line it starts on.
      {"a = 1 --[[ one\ntwo\nthree ]] b = 2\nc = 3", "a = 1 b = 2\n\n\nc = 3"},
      // A long string keeps its own newlines in place.
      {"s = [[one\ntwo]] x += 1\ny = 2", "s = [[one\ntwo]] x = x + ( 1) \ny = 2"},
      // Without its close a block comment ends with its line; the next
      // line is code again.
      {"--[[ abc\nx += 1", "\nx = x + ( 1) "},
      // An unterminated long string runs to the end and is copied as is.
      {"x = [[abc\ny += 1\n", "x = [[abc\ny += 1\n"},
      {"x = 1\n\n\n", "x = 1\n\n\n"},
      {"", ""},
  });
}

TEST(Preprocess, CommentBetweenTokensStillSeparatesThem) {
  expect_rewrites({
      {"a=b--[[c]]c=d", "a=b c=d"},
      {"x = a- --[[c]]-b", "x = a- -b"},
      {"--[[lead]]x = 1", "x = 1"},
      {"x = 1 --[[c]] + 2", "x = 1 + 2"},
  });
}

TEST(Preprocess, CompoundAssignments) {
  expect_rewrites({
      {"  x += 1", "  x = x + ( 1) "},
      {"a.b[i] *= f(2) y = 3", "a.b[i] = a.b[i] * ( f(2))  y = 3"},
      {"t[i+1] += 2", "t[i+1] = t[i+1] + ( 2) "},
      {"x   /= 2", "x = x / ( 2) "},
      {"x%=3", "x = x % (3) "},
      {"m[a[1]][b] -= 1", "m[a[1]][b] = m[a[1]][b] - ( 1) "},
      {"obj.pos.x += obj.vel.x * dt", "obj.pos.x = obj.pos.x + ( obj.vel.x * dt) "},
      // One per pass; the first kind present goes first.
      {"x += 1 y += 2", "x = x + ( 1)  y = y + ( 2) "},
      {"a -= 1 b += 2", "a = a - ( 1)  b = b + ( 2) "},
      {"for i=1,3 do s += i end", "for i=1,3 do s = s + ( i)  end"},
      // At the very start of a line there is no target.
      {"+= 1", "+= 1"},
      {"+= 1 x += 2", "+= 1 x += 2"},
      // Inside strings nothing happens.
      {"s = \"x += 1\"", "s = \"x += 1\""},
      {"s = \"a\" x += 1", "s = \"a\" x = x + ( 1) "},
  });
}

TEST(Preprocess, CompoundRightHandSideStopsWhereTheExpressionDoes) {
  expect_rewrites({
      // Operators keep the expression going, brackets are one operand.
      {"x += -y * 2 ^ #t % 3", "x = x + ( -y * 2 ^ #t % 3) "},
      {"x += a:b(c).d[e] z()", "x = x + ( a:b(c).d[e])  z()"},
      {"x += (1 + (2)) * f(g(3), [[)]])", "x = x + ( (1 + (2)) * f(g(3), [[)]])) "},
      // An unbalanced ")" ends it and stays after the rewrite.
      {"f(x += 1)", "f(x = x + ( 1) )"},
      // A second operand in a row ends it: names, keywords, "..", strings.
      {"x += 1 end", "x = x + ( 1)  end"},
      {"s += \"a\" .. b", "s = s + ( \"a\")  .. b"},
      {"x += y == 3", "x = x + ( y)  == 3"},
      {"x += 1; y = 2", "x = x + ( 1) ; y = 2"},
      // An unclosed bracket runs to the end of the line.
      {"x += f(1", "x = x + ( f(1) "},
      {"x +=", "x = x + () "},
  });
}

TEST(Preprocess, CompoundTargetHoldingANewlineIsLeftAlone) {
  // Writing the target twice would add a line.
  expect_rewrites({
      {"t[ [[a\nb]] ] += 1\nx = 2", "t[ [[a\nb]] ] += 1\nx = 2"},
      {"x += [[a\nb]]\ny = 2", "x = x + ( [[a\nb]]) \ny = 2"},
  });
}

TEST(Preprocess, OneLineIf) {
  expect_rewrites({
      {"if (a) b()", "if (a) then  b() end "},
      {"if (x>1) y=0", "if (x>1) then  y=0 end "},
      {"if(a)b()", "if(a) then b() end "},
      {"  if (f(x) and (y)) return", "  if (f(x) and (y)) then  return end "},
      {"if (a) b() else c()", "if (a) then  b() else c() end "},
      {"if (a) x += 1", "if (a) then  x = x + ( 1)  end "},
      {"if (a != b) _c()", "if (a ~= b) then  _c() end "},
      {"if (a) or_else()", "if (a) then  or_else() end "},
      // Left alone.
      {"if (a) then b() end", "if (a) then b() end"},
      {"if (a)", "if (a)"},
      {"if (a) and b then", "if (a) and b then"},
      {"if (a) and b", "if (a) and b"},
      {"if (a) or b", "if (a) or b"},
      {"elseif (a) b()", "elseif (a) b()"},
      {"if a then b() end", "if a then b() end"},
      {"if (a) 5", "if (a) 5"},
      {"if (a) (f)()", "if (a) (f)()"},
      {"if (a", "if (a"},
      {"if (a) print(\"then\") x()", "if (a) then  print(\"then\") x() end "},
      {"s = \"if (a) b()\"", "s = \"if (a) b()\""},
      // Only the first "if" of a line is considered.
      {"if (a) if (b) c()", "if (a) then  if (b) c() end "},
  });
}

TEST(Preprocess, ButtonGlyphsBecomeButtonNumbers) {
  expect_rewrites({
      {"b = {\x8b, \x91, \x94, \x83, \x8e, \x97, \x8f}", "b = {0, 1, 2, 3, 4, 5, 6}"},
      {"if (btn(\x8b)) x -= 1", "if (btn(0)) then  x = x - ( 1)  end "},
      {"x = \x97\x97 + \x97", "x = 55 + 5"},
      {"print(\"\x8e to jump\", btn(\x8e))", "print(\"\x8e to jump\", btn(4))"},
      {"s = [[\x91]] .. '\x91'", "s = [[\x91]] .. '\x91'"},
      // One glyph of each kind per pass, before that pass's compound
      // rewrite: the second glyph is still a glyph when "b" is taken as
      // the target, and a digit joins what follows it into a number.
      {"\x8b" "a \x8b" "b += 1", "0a 0b = b + ( 1) "},
      {"x += \x8b.y", "x = x + ( 0.) y"},
  });
}

TEST(Preprocess, EscapedBackslashEndsTheString) {
  expect_rewrites({
      {"s = \"\\\\\" x += 1", "s = \"\\\\\" x = x + ( 1) "},
      {"s = \"a\\\" != b\" != c", "s = \"a\\\" != b\" ~= c"},
  });
}

TEST(Preprocess, RealisticProgramsRewriteExactly) {
  const std::string dir = std::string(ORRERY_TEST_DATA) + "/preprocess/";
  for (const char *name : {"cave_flyer", "particles", "title_menu"}) {
    const std::string source = read_file(dir + name + ".code");
    const std::string expected = read_file(dir + name + ".expected");
    ASSERT_FALSE(source.empty()) << name;
    ASSERT_FALSE(expected.empty()) << name;
    const std::string out = preprocess(source);
    EXPECT_EQ(out, expected) << name;
    EXPECT_EQ(lines_of(out), lines_of(source)) << name;
  }
}

TEST(Preprocess, KeepsTheLineCountOfAnyProgram) {
  // Pieces of programs, glued together at random: every notation, comments
  // and strings that span lines or are left open, and stray brackets.
  const char *pieces[] = {
      "x += 1",  "y -= f(2)",  "t[i] *= 2",  "a.b /= c",   "n %= 3",     "if (a) b()",
      "if (a)",  "then",       " end",       "?x",         " ? \"hi\"",  "a != b",
      "\x8b",    "\x94\x97",   "-- c",       "--[[ a\nb ]]", "--[[ open", "// note",
      "[[ s\n]]", "[[ open",   "\"q",        "'a\\'b'",    "\"\\\\\"",   "(",
      ")",       "[",          "]",          " ",          "\t",         "\n",
      "\n",      "\r\n",       "+=",         "if (",       "if(x)y",     "\"x += 1\"",
      "t[ [[a\nb]] ] += 1",    "a--[[c]]b",  "--[[[[\n]]", "]]",         "[[",
  };
  std::mt19937 rng(12345);
  for (int program = 0; program < 3000; program++) {
    std::string source;
    const int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; i++) source += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    const std::string out = preprocess(source);
    ASSERT_EQ(lines_of(out), lines_of(source)) << "source: " << source << "\noutput: " << out;
  }
  // The fixtures and a long program made of them.
  const std::string dir = std::string(ORRERY_TEST_DATA) + "/preprocess/";
  std::string all;
  for (const char *name : {"cave_flyer", "particles", "title_menu"})
    all += read_file(dir + name + ".code") + "\n-->8\n";
  EXPECT_EQ(lines_of(preprocess(all)), lines_of(all));
}

TEST(Preprocess, DropsTextAfterTheLastLineItHandles) {
  std::string source;
  for (int i = 0; i < 70000; i++) source += "x+=1\n";
  int status = -1;
  const std::string out = preprocess(source, 1 << 21, &status);
  EXPECT_EQ(status, PREPROCESS_OK);
  EXPECT_EQ(lines_of(out), static_cast<size_t>(k_preprocess_max_lines));
  std::string expected;
  for (int i = 0; i < k_preprocess_max_lines; i++) expected += "x = x + (1) \n";
  EXPECT_EQ(out, expected);

  // A "//" comment and its newline make one line, not two.
  source.clear();
  for (int i = 0; i < k_preprocess_max_lines - 1; i++) source += "x=1 // c\n";
  source += "last";
  EXPECT_EQ(preprocess(source, 1 << 21).substr(lines_of(source) * 4), "last");
}

TEST(Preprocess, OutputNeverPassesItsBuffer) {
  int status = -1;
  std::string out = preprocess("x += 1\ny += 2\n", 16, &status);
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);
  EXPECT_EQ(out, "x = x + ( 1) \ny");

  out = preprocess("abc", 4, &status);
  EXPECT_EQ(status, PREPROCESS_OK);
  EXPECT_EQ(out, "abc");
  out = preprocess("abc\n", 4, &status);
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);
  EXPECT_EQ(out, "abc");
  out = preprocess("abc", 1, &status);
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);
  EXPECT_EQ(out, "");
  EXPECT_EQ(orrery_preprocess("x", nullptr, 10), PREPROCESS_TRUNCATED);

  // A legal 65536-character program can grow past 128 KiB.
  std::string source;
  while (source.size() + 5 <= 65536) source += "a+=1\n";
  out = preprocess(source, k_preprocess_buffer_size, &status);
  EXPECT_EQ(status, PREPROCESS_TRUNCATED);
  EXPECT_EQ(out.size(), k_preprocess_buffer_size - 1);

  EXPECT_EQ(preprocess(std::string(), 8, &status), "");
  EXPECT_EQ(status, PREPROCESS_OK);
  std::vector<char> buf(8, 'x');
  EXPECT_EQ(orrery_preprocess(nullptr, buf.data(), buf.size()), PREPROCESS_OK);
  EXPECT_STREQ(buf.data(), "");
}

TEST(Preprocess, LinesLongerThanTheLineBuffer) {
  const size_t big = k_preprocess_buffer_size + 5000;
  // A long line of code is cut; the next line still comes out on line 2.
  std::string source;
  while (source.size() < big) source += "x+=1 ";
  source += "\ny != 2";
  std::string out = preprocess(source, 1 << 22);
  ASSERT_EQ(lines_of(out), 1u);
  EXPECT_EQ(out.substr(out.find('\n')), "\ny ~= 2");

  // A long string with many newlines past the cut keeps them all.
  source = "s = [[";
  for (int i = 0; i < 30000; i++) source += "line\n";
  source += "]] x += 1\nz = 3";
  out = preprocess(source, 1 << 22);
  EXPECT_EQ(lines_of(out), lines_of(source));
  EXPECT_EQ(out.substr(out.rfind('\n')), "\nz = 3");

  // Rewrites that would overflow the line stop; the line stays whole.
  source = std::string(k_preprocess_buffer_size - 10, 'v') + " += 1";
  out = preprocess(source, 1 << 22);
  EXPECT_EQ(out.size(), k_preprocess_buffer_size - 10 + 5);
}

TEST(Preprocess, StopsRewritingALineBeyondAnyCompilableCount) {
  // No program within the token limit holds 4096 compound assignments on a
  // line; past that many the rest of the line is left as it is.
  std::string source;
  for (int i = 0; i < 4100; i++) source += "a+=1 ";
  const std::string out = preprocess(source, 1 << 20);
  size_t rewritten = 0;
  for (size_t at = out.find("a = a + (1) "); at != std::string::npos;
       at = out.find("a = a + (1) ", at + 1))
    rewritten++;
  EXPECT_EQ(rewritten, 4096u);
  EXPECT_EQ(out.substr(out.size() - 21), "  a+=1 a+=1 a+=1 a+=1");
}

TEST(Preprocess, ProgramsFullOfUnclosedComments) {
  std::string source;
  for (int i = 0; i < 20000; i++) source += "--[[ unclosed\nx != y\n";
  std::string expected;
  for (int i = 0; i < 20000; i++) expected += "\nx ~= y\n";
  EXPECT_EQ(preprocess(source, 1 << 20), expected);
}
