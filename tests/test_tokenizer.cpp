#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "script/tokenizer.h"

namespace {

using token_list = std::vector<std::pair<int, std::string>>;

// Every token of `text` with the text it covers (white space before it
// stripped), up to but not including the end of text.
token_list tokens_of(const std::string &text) {
  token_list out;
  const char *p = text.c_str();
  for (const char *next = get_first_token(p); get_token() != TOKEN_EOF; next = get_next_token(p)) {
    const char *start = p;
    while (*start == ' ' || *start == '\t' || *start == '\r' || *start == '\b') start++;
    out.emplace_back(get_token(), std::string(start, next));
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

TEST_F(Tokenizer, CountsTokensLeavingOutTheFreeOnes) {
  const std::pair<const char *, int> cases[] = {
      {"x = 1", 3},
      {"local x = 1", 3},
      {"f(a, b)", 4},
      {"t.x", 2},
      {"a:b()", 3},
      {"-1", 2},
      {"if x then y() end", 5},
      {"0xFF", 2},
      {"0xff", 1},
      {"t = {1, 2; [3] = 4}", 9},  // t = { 1 2 [ 3 = 4
      {"x += 1 y != 2 .. z", 8},
      {"foreach(all(t), add) del(t, 1) menuitem(1)", 13},
      {"-- a comment of any length, with f(x) = 1", 0},
      {"x = 1 --[[ y = 2\n]] // z = 3\nw", 4},
      {"\"unterminated f(x)\ny", 2},
      {"\b\t\r x \x0b", 2},  // only 8, 9, 13 and 32 are white space
      {"a b\0c d", 2},       // the text ends at its NUL
      {"", 0},
  };
  for (const auto &c : cases) EXPECT_EQ(count_tokens(c.first), c.second) << c.first;
  EXPECT_EQ(count_tokens(nullptr), 0);
}

TEST_F(Tokenizer, NumbersTakeOnlyTheirOwnDigits) {
  EXPECT_EQ(tokens_of("0xFF 1e5"), (token_list{{TOKEN_NUMBER, "0x"}, {TOKEN_NAME, "FF"},
                                               {TOKEN_NUMBER, "1"}, {TOKEN_NAME, "e5"}}));
  EXPECT_EQ(tokens_of("0b101.1 0b12 0x1f.8 1..2"),
            (token_list{{TOKEN_NUMBER, "0b101.1"}, {TOKEN_NUMBER, "0b1"}, {TOKEN_NUMBER, "2"},
                        {TOKEN_NUMBER, "0x1f.8"}, {TOKEN_NUMBER, "1..2"}}));
}

TEST_F(Tokenizer, StringsEndAtTheirQuoteOrTheLineEnd) {
  EXPECT_EQ(tokens_of("'it''s' \"a\\\"b\" \"\\\\\" x"),
            (token_list{{TOKEN_STRING, "'it'"}, {TOKEN_STRING, "'s'"}, {TOKEN_STRING, "\"a\\\"b\""},
                        {TOKEN_STRING, "\"\\\\\""}, {TOKEN_NAME, "x"}}));
  // Unterminated, or with a backslash before the newline: the newline ends it.
  EXPECT_EQ(tokens_of("s = \"abc\n'a\\\nb"),
            (token_list{{TOKEN_NAME, "s"}, {'=', "="}, {TOKEN_STRING, "\"abc"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_STRING, "'a\\"}, {TOKEN_NEWLINE, "\n"}, {TOKEN_NAME, "b"}}));
}

TEST_F(Tokenizer, LongBracketsNest) {
  EXPECT_EQ(tokens_of("[[a [[b]] c]] t[ [1] ] --[[a [[b]] c]] x"),
            (token_list{{TOKEN_STRING, "[[a [[b]] c]]"}, {TOKEN_NAME, "t"}, {'[', "["}, {'[', "["},
                        {TOKEN_NUMBER, "1"}, {']', "]"}, {']', "]"},
                        {TOKEN_COMMENT, "--[[a [[b]] c]]"}, {TOKEN_NAME, "x"}}));
  // An unclosed long string runs to the end of the text; an unclosed block
  // comment, or one with '=' levels, only to the end of its line.
  EXPECT_EQ(tokens_of("--[[ a\n--[=[ b ]=]\nx = [[s\n"),
            (token_list{{TOKEN_COMMENT, "--[[ a"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_COMMENT, "--[=[ b ]=]"}, {TOKEN_NEWLINE, "\n"}, {TOKEN_NAME, "x"},
                        {'=', "="}, {TOKEN_STRING, "[[s\n"}}));
}

TEST_F(Tokenizer, UnclosedBlockCommentsDoNotHideLaterClosedOnes) {
  // The first opener is never closed; the second is, by the "]]" below it.
  // The third fails like the first.
  EXPECT_EQ(tokens_of("--[[ one\n--[[ two\nx ]] y\n--[[ three\nz"),
            (token_list{{TOKEN_COMMENT, "--[[ one"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_COMMENT, "--[[ two\nx ]]"}, {TOKEN_NAME, "y"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_COMMENT, "--[[ three"}, {TOKEN_NEWLINE, "\n"}, {TOKEN_NAME, "z"}}));
  std::string text;
  for (int i = 0; i < 3000; i++) text += "--[[ open\nx=1\n";
  EXPECT_EQ(count_tokens(text.c_str()), 3 * 3000);
}

TEST_F(Tokenizer, OperatorsAndLineComments) {
  EXPECT_EQ(tokens_of("<= >= ~= != <> == += %= ... !~ a // rest\nb"),
            (token_list{{TOKEN_LE, "<="}, {TOKEN_GE, ">="}, {TOKEN_NE, "~="}, {TOKEN_NE, "!="},
                        {TOKEN_NE, "<>"}, {TOKEN_EQ, "=="}, {TOKEN_COMPOUND, "+="},
                        {TOKEN_COMPOUND, "%="}, {TOKEN_CONCAT, ".."}, {'.', "."}, {'!', "!"},
                        {'~', "~"}, {TOKEN_NAME, "a"}, {TOKEN_NEWLINE, "// rest"},
                        {TOKEN_NEWLINE, "\n"}, {TOKEN_NAME, "b"}}));
}

TEST_F(Tokenizer, ReportsPositionsTextAndLines) {
  const char *text = "abc -- note\n\"s\" 12\n";
  const char *p = get_first_token(text);
  EXPECT_EQ(p, text + 3);
  EXPECT_STREQ(tokenizer.ident, "abc");
  EXPECT_EQ(tokenizer.start, text);
  p = get_next_token(p);
  EXPECT_EQ(get_token(), TOKEN_COMMENT);
  EXPECT_EQ(p, text + 11) << "a comment ends at its newline";
  p = get_next_token(get_next_token(p));
  EXPECT_EQ(tokenizer.line, 1);
  EXPECT_STREQ(tokenizer.ident, "\"s\"");
  p = get_next_token(p);
  EXPECT_STREQ(tokenizer.ident, "12");
  const char *end = get_next_token(get_next_token(p));
  EXPECT_EQ(tokenizer.line, 2);
  EXPECT_EQ(get_token(), TOKEN_EOF);
  EXPECT_EQ(end, text + 19);
  EXPECT_EQ(get_next_token(end), end) << "reading past the end stays at the end";
  end_tokenizing();
}

TEST_F(Tokenizer, ClassifiesNamesByTheLastListThatHasThem) {
  EXPECT_EQ(tokens_of("elseif nil not foreach menuitem spr Ends \x8b\x91 a\x94z"),
            (token_list{{TOKEN_ELSEIF, "elseif"}, {TOKEN_CONSTANT, "nil"}, {TOKEN_NOT, "not"},
                        {TOKEN_API, "foreach"}, {TOKEN_API, "menuitem"}, {TOKEN_NAME, "spr"},
                        {TOKEN_NAME, "Ends"}, {TOKEN_NAME, "\x8b\x91"}, {TOKEN_NAME, "a\x94z"}}));
  EXPECT_EQ(add_api_function_name("spr"), API_NAME_OK);
  EXPECT_EQ(add_api_function_name("end"), API_NAME_OK);
  EXPECT_EQ(tokens_of("spr sprx end"),
            (token_list{{TOKEN_API, "spr"}, {TOKEN_NAME, "sprx"}, {TOKEN_API, "end"}}));
  EXPECT_EQ(count_tokens("spr(1) end"), 4) << "an API name \"end\" is no longer free";
  init_api_function_names();
  EXPECT_EQ(api_function_name_count(), 0);
  EXPECT_EQ(tokens_of("spr end"), (token_list{{TOKEN_NAME, "spr"}, {TOKEN_END, "end"}}));
}

TEST_F(Tokenizer, ApiNameListRefusesWhatItCannotHold) {
  const std::string longest(63, 'n');
  EXPECT_EQ(add_api_function_name(nullptr), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name(""), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name((longest + "x").c_str()), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name(longest.c_str()), API_NAME_OK);
  for (int i = 1; i < k_api_name_slots; i++)
    ASSERT_EQ(add_api_function_name(("f" + std::to_string(i)).c_str()), API_NAME_OK);
  EXPECT_EQ(add_api_function_name("onemore"), API_NAME_LIST_FULL);
  EXPECT_EQ(tokens_of(longest + " " + longest + "x f255 onemore"),
            (token_list{{TOKEN_API, longest}, {TOKEN_NAME, longest + "x"}, {TOKEN_API, "f255"},
                        {TOKEN_NAME, "onemore"}}));
}

TEST_F(Tokenizer, ColoursFollowTheTokenKind) {
  add_api_function_name("spr");
  std::vector<int> colours;
  const char *p = get_first_token("spr(x, 1) if not t then -- c\n s = \"s\" .. nil");
  for (; get_token() != TOKEN_EOF; p = get_next_token(p)) colours.push_back(get_token_color(get_token()));
  end_tokenizing();
  // spr ( x , 1 ) if not t then comment newline s = "s" .. nil
  EXPECT_EQ(colours, (std::vector<int>{11, 7, 6, 7, 12, 7, 14, 14, 6, 14, 13, 6, 6, 7, 12, 7, 12}));
  EXPECT_EQ(get_token_color(TOKEN_EOF), 6);
}
