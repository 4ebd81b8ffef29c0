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
  const char *next = get_first_token(p);
  while (get_token() != TOKEN_EOF) {
    const char *start = p;
    while (*start == ' ' || *start == '\t' || *start == '\r' || *start == '\b') start++;
    out.emplace_back(get_token(), std::string(start, next));
    p = next;
    next = get_next_token(p);
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

TEST_F(Tokenizer, CountsTokensOfTypicalStatements) {
  const std::pair<const char *, int> cases[] = {
      {"x = 1", 3},
      {"local x = 1", 3},
      {"f(a, b)", 4},
      {"t.x", 2},
      {"a:b()", 3},
      {"-1", 2},
      {"if x then y() end", 5},
      {"t = {1, 2; [3] = 4}", 9},  // t = { 1 2 [ 3 = 4
      {"a .. b", 3},
      {"x += 1 y != 2", 6},
      {"while not done do step() end", 6},
      {"", 0},
      {"  \t\r\n\n", 0},
  };
  for (const auto &c : cases) EXPECT_EQ(count_tokens(c.first), c.second) << c.first;
}

TEST_F(Tokenizer, CommentsAndLineCommentsAreFree) {
  EXPECT_EQ(count_tokens("-- a comment of any length, with f(x) = 1 inside"), 0);
  EXPECT_EQ(count_tokens("--[[ several\nlines f(x)\n]]"), 0);
  EXPECT_EQ(count_tokens("// slashes with g(y) after them"), 0);
  EXPECT_EQ(count_tokens("x = 1 // y = 2\nz = 3"), 6);
  EXPECT_EQ(count_tokens("x = 1 --[[ y = 2 ]] z = 3"), 6);
}

TEST_F(Tokenizer, HexNumbersTakeOnlyLowerCaseDigits) {
  EXPECT_EQ(count_tokens("0xFF"), 2);
  EXPECT_EQ(count_tokens("0xff"), 1);
  EXPECT_EQ(tokens_of("0xFF"), (token_list{{TOKEN_NUMBER, "0x"}, {TOKEN_NAME, "FF"}}));
  EXPECT_EQ(tokens_of("1e5"), (token_list{{TOKEN_NUMBER, "1"}, {TOKEN_NAME, "e5"}}));
  EXPECT_EQ(tokens_of("0b101.1 0x1f.8 3.25"),
            (token_list{{TOKEN_NUMBER, "0b101.1"}, {TOKEN_NUMBER, "0x1f.8"}, {TOKEN_NUMBER, "3.25"}}));
  // Binary digits stop at the first other character.
  EXPECT_EQ(tokens_of("0b12"), (token_list{{TOKEN_NUMBER, "0b1"}, {TOKEN_NUMBER, "2"}}));
  // A number swallows the dots that follow it.
  EXPECT_EQ(tokens_of("1..2"), (token_list{{TOKEN_NUMBER, "1..2"}}));
  EXPECT_EQ(tokens_of(".5"), (token_list{{'.', "."}, {TOKEN_NUMBER, "5"}}));
}

TEST_F(Tokenizer, StringsEndAtTheirQuoteOrTheLineEnd) {
  EXPECT_EQ(tokens_of("'it''s' \"a\\\"b\" x"),
            (token_list{{TOKEN_STRING, "'it'"}, {TOKEN_STRING, "'s'"}, {TOKEN_STRING, "\"a\\\"b\""},
                        {TOKEN_NAME, "x"}}));
  // An unterminated string ends before the newline and counts once.
  EXPECT_EQ(tokens_of("s = \"abc\nx"),
            (token_list{{TOKEN_NAME, "s"}, {'=', "="}, {TOKEN_STRING, "\"abc"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_NAME, "x"}}));
  EXPECT_EQ(count_tokens("\"abc"), 1);
  // An escaped backslash does not escape the quote after it.
  EXPECT_EQ(tokens_of("\"\\\\\" x"), (token_list{{TOKEN_STRING, "\"\\\\\""}, {TOKEN_NAME, "x"}}));
  // A backslash at the end of a line does not carry the string over it.
  EXPECT_EQ(tokens_of("'a\\\nb'"), (token_list{{TOKEN_STRING, "'a\\"}, {TOKEN_NEWLINE, "\n"},
                                               {TOKEN_NAME, "b"}, {TOKEN_STRING, "'"}}));
}

TEST_F(Tokenizer, LongBracketsNestAndLongStringsRunToTheEnd) {
  EXPECT_EQ(tokens_of("[[a [[b]] c]] x"),
            (token_list{{TOKEN_STRING, "[[a [[b]] c]]"}, {TOKEN_NAME, "x"}}));
  EXPECT_EQ(tokens_of("s = [[open\nstill\n"), (token_list{{TOKEN_NAME, "s"}, {'=', "="},
                                                           {TOKEN_STRING, "[[open\nstill\n"}}));
  EXPECT_EQ(tokens_of("t[ [1] ]"), (token_list{{TOKEN_NAME, "t"}, {'[', "["}, {'[', "["},
                                               {TOKEN_NUMBER, "1"}, {']', "]"}, {']', "]"}}));
  EXPECT_EQ(tokens_of("--[[a [[b]] c]] x"),
            (token_list{{TOKEN_COMMENT, "--[[a [[b]] c]]"}, {TOKEN_NAME, "x"}}));
  // Levels with '=' are not long brackets: a plain line comment.
  EXPECT_EQ(tokens_of("--[=[ a\nb ]=]"), (token_list{{TOKEN_COMMENT, "--[=[ a"}, {TOKEN_NEWLINE, "\n"},
                                                      {TOKEN_NAME, "b"}, {']', "]"}, {'=', "="},
                                                      {']', "]"}}));
  // Without its close a block comment runs to the end of its line only.
  EXPECT_EQ(tokens_of("--[[ a\nb"),
            (token_list{{TOKEN_COMMENT, "--[[ a"}, {TOKEN_NEWLINE, "\n"}, {TOKEN_NAME, "b"}}));
}

TEST_F(Tokenizer, UnclosedBlockCommentsDoNotHideLaterClosedOnes) {
  // The first opener is never closed; the second is, by the "]]" below it,
  // so its comment spans two lines. The third fails like the first.
  EXPECT_EQ(tokens_of("--[[ one\n--[[ two\nx ]] y\n--[[ three\nz"),
            (token_list{{TOKEN_COMMENT, "--[[ one"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_COMMENT, "--[[ two\nx ]]"}, {TOKEN_NAME, "y"}, {TOKEN_NEWLINE, "\n"},
                        {TOKEN_COMMENT, "--[[ three"}, {TOKEN_NEWLINE, "\n"}, {TOKEN_NAME, "z"}}));
  // Many unclosed openers, each followed by code that still counts.
  std::string text;
  for (int i = 0; i < 3000; i++) text += "--[[ open\nx=1\n";
  EXPECT_EQ(count_tokens(text.c_str()), 3 * 3000);
}

TEST_F(Tokenizer, OperatorsAndLineComments) {
  EXPECT_EQ(tokens_of("<= >= ~= != <> == .. += -= *= /= %= ..."),
            (token_list{{TOKEN_LE, "<="}, {TOKEN_GE, ">="}, {TOKEN_NE, "~="}, {TOKEN_NE, "!="},
                        {TOKEN_NE, "<>"}, {TOKEN_EQ, "=="}, {TOKEN_CONCAT, ".."},
                        {TOKEN_COMPOUND, "+="}, {TOKEN_COMPOUND, "-="}, {TOKEN_COMPOUND, "*="},
                        {TOKEN_COMPOUND, "/="}, {TOKEN_COMPOUND, "%="}, {TOKEN_CONCAT, ".."},
                        {'.', "."}}));
  EXPECT_EQ(tokens_of("^=#!~"), (token_list{{'^', "^"}, {'=', "="}, {'#', "#"}, {'!', "!"}, {'~', "~"}}));
  EXPECT_EQ(tokens_of("a // rest\nb"), (token_list{{TOKEN_NAME, "a"}, {TOKEN_NEWLINE, "// rest"},
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
  p = get_next_token(p);
  EXPECT_EQ(get_token(), TOKEN_NEWLINE);
  EXPECT_EQ(tokenizer.line, 1);
  p = get_next_token(p);
  EXPECT_EQ(get_token(), TOKEN_STRING);
  EXPECT_STREQ(tokenizer.ident, "\"s\"");
  p = get_next_token(p);
  EXPECT_EQ(get_token(), TOKEN_NUMBER);
  EXPECT_STREQ(tokenizer.ident, "12");
  p = get_next_token(p);
  EXPECT_EQ(tokenizer.line, 2);
  const char *end = get_next_token(p);
  EXPECT_EQ(get_token(), TOKEN_EOF);
  EXPECT_EQ(end, text + 19);
  EXPECT_EQ(get_next_token(end), end) << "reading past the end stays at the end";
  EXPECT_EQ(get_token(), TOKEN_EOF);
  end_tokenizing();
}

TEST_F(Tokenizer, ClassifiesNamesByTheLastListThatHasThem) {
  EXPECT_EQ(tokens_of("function end for if then else elseif while do in local return repeat until "
                      "goto break not and or true false nil"),
            (token_list{{TOKEN_FUNCTION, "function"}, {TOKEN_END, "end"}, {TOKEN_FOR, "for"},
                        {TOKEN_IF, "if"}, {TOKEN_THEN, "then"}, {TOKEN_ELSE, "else"},
                        {TOKEN_ELSEIF, "elseif"}, {TOKEN_WHILE, "while"}, {TOKEN_DO, "do"},
                        {TOKEN_IN, "in"}, {TOKEN_LOCAL, "local"}, {TOKEN_RETURN, "return"},
                        {TOKEN_REPEAT, "repeat"}, {TOKEN_UNTIL, "until"}, {TOKEN_GOTO, "goto"},
                        {TOKEN_BREAK, "break"}, {TOKEN_NOT, "not"}, {TOKEN_AND, "and"},
                        {TOKEN_OR, "or"}, {TOKEN_CONSTANT, "true"}, {TOKEN_CONSTANT, "false"},
                        {TOKEN_CONSTANT, "nil"}}));
  EXPECT_EQ(tokens_of("foreach all add del menuitem spr Ends _x \x8b\x91 a\x94z"),
            (token_list{{TOKEN_API, "foreach"}, {TOKEN_API, "all"}, {TOKEN_API, "add"},
                        {TOKEN_API, "del"}, {TOKEN_API, "menuitem"}, {TOKEN_NAME, "spr"},
                        {TOKEN_NAME, "Ends"}, {TOKEN_NAME, "_x"}, {TOKEN_NAME, "\x8b\x91"},
                        {TOKEN_NAME, "a\x94z"}}));

  EXPECT_EQ(add_api_function_name("spr"), API_NAME_OK);
  EXPECT_EQ(add_api_function_name("end"), API_NAME_OK);
  EXPECT_EQ(api_function_name_count(), 2);
  EXPECT_EQ(tokens_of("spr sprx end"),
            (token_list{{TOKEN_API, "spr"}, {TOKEN_NAME, "sprx"}, {TOKEN_API, "end"}}));
  // API names count like any other name; an API "end" is no longer free.
  EXPECT_EQ(count_tokens("spr(1) end"), 4);

  init_api_function_names();
  EXPECT_EQ(api_function_name_count(), 0);
  EXPECT_EQ(tokens_of("spr end"), (token_list{{TOKEN_NAME, "spr"}, {TOKEN_END, "end"}}));
}

TEST_F(Tokenizer, ApiNameListRefusesWhatItCannotHold) {
  EXPECT_EQ(add_api_function_name(nullptr), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name(""), API_NAME_BAD);
  const std::string longest(63, 'n');
  EXPECT_EQ(add_api_function_name((longest + "x").c_str()), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name(longest.c_str()), API_NAME_OK);
  EXPECT_EQ(tokens_of(longest + " " + longest + "x"),
            (token_list{{TOKEN_API, longest}, {TOKEN_NAME, longest + "x"}}));
  for (int i = 1; i < k_api_name_slots; i++)
    ASSERT_EQ(add_api_function_name(("f" + std::to_string(i)).c_str()), API_NAME_OK);
  EXPECT_EQ(add_api_function_name("onemore"), API_NAME_LIST_FULL);
  EXPECT_EQ(api_function_name_count(), k_api_name_slots);
  EXPECT_EQ(tokens_of("f255 onemore"), (token_list{{TOKEN_API, "f255"}, {TOKEN_NAME, "onemore"}}));
}

TEST_F(Tokenizer, FreeTokensAndColours) {
  for (int code : std::initializer_list<int>{TOKEN_NEWLINE, TOKEN_COMMENT, TOKEN_LOCAL, TOKEN_END, TOKEN_EOF, int(';'),
                   int(')'), int('}'), int(']'), int('.'), int(','), int(':')})
    EXPECT_TRUE(is_free_token(code)) << code;
  for (int code : std::initializer_list<int>{TOKEN_NAME, TOKEN_NUMBER, TOKEN_STRING, TOKEN_API, TOKEN_IF, TOKEN_CONCAT,
                   TOKEN_COMPOUND, int('('), int('['), int('{'), int('='), int('#')})
    EXPECT_FALSE(is_free_token(code)) << code;

  EXPECT_EQ(get_token_color(TOKEN_API), 11);
  for (int code = TOKEN_FUNCTION; code <= TOKEN_BREAK; code++)
    EXPECT_EQ(get_token_color(code), 14) << code;
  EXPECT_EQ(get_token_color(TOKEN_NOT), 14);
  EXPECT_EQ(get_token_color(TOKEN_AND), 14);
  EXPECT_EQ(get_token_color(TOKEN_OR), 14);
  EXPECT_EQ(get_token_color(TOKEN_COMMENT), 13);
  EXPECT_EQ(get_token_color(TOKEN_STRING), 12);
  EXPECT_EQ(get_token_color(TOKEN_NUMBER), 12);
  EXPECT_EQ(get_token_color(TOKEN_CONSTANT), 12);
  EXPECT_EQ(get_token_color(TOKEN_NAME), 6);
  EXPECT_EQ(get_token_color(TOKEN_NEWLINE), 6);
  EXPECT_EQ(get_token_color(TOKEN_EOF), 6);
  for (int code : std::initializer_list<int>{TOKEN_LE, TOKEN_GE, TOKEN_NE, TOKEN_EQ, TOKEN_COMPOUND, TOKEN_CONCAT, int('('),
                   int('+'), int('!')})
    EXPECT_EQ(get_token_color(code), 7) << code;
}

TEST_F(Tokenizer, OddBytesAreSingleTokens) {
  // Only 8, 9, 13 and 32 are white space; other control bytes count.
  EXPECT_EQ(tokens_of("a\x0b\x0c$`"), (token_list{{TOKEN_NAME, "a"}, {0x0b, "\x0b"}, {0x0c, "\x0c"},
                                                  {'$', "$"}, {'`', "`"}}));
  EXPECT_EQ(count_tokens("\b\t\r x"), 1);
  // The text ends at its NUL.
  const char with_nul[] = "a b\0c d";
  EXPECT_EQ(count_tokens(with_nul), 2);
  EXPECT_EQ(count_tokens(nullptr), 0);
}
