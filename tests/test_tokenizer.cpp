// The tokenizer: token counts, token kinds and extents, positions and
// lines, the API name list and highlight colours.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "script/tokenizer.h"

namespace {

using token_list = std::vector<std::pair<int, std::string>>;
constexpr int N = TOKEN_NAME, D = TOKEN_NUMBER, S = TOKEN_STRING, C = TOKEN_COMMENT, L = TOKEN_NEWLINE, A = TOKEN_API;

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
      {"x = 1", 3}, {"local x = 1", 3}, {"f(a, b)", 4}, {"t.x", 2}, {"a:b()", 3}, {"-1", 2},
      {"if x then y() end", 5}, {"0xFF", 2}, {"0xff", 1}, {"t = {1, 2; [3] = 4}", 9} /* t = { 1 2 [ 3 = 4 */,
      {"x += 1 y != 2 .. z", 8}, {"foreach(all(t), add) del(t, 1) menuitem(1)", 13},
      {"-- a comment of any length, with f(x) = 1", 0}, {"x = 1 --[[ y = 2\n]] // z = 3\nw", 4},
      {"\"unterminated f(x)\ny", 2}, {"\b\t\r x \x0b", 2} /* only 8, 9, 13 and 32 are white space */,
      {"a b\0c d", 2} /* the text ends at its NUL */, {"", 0},
  };
  for (const auto &[text, count] : cases) EXPECT_EQ(count_tokens(text), count) << text;
  EXPECT_EQ(count_tokens(nullptr), 0);
}

TEST_F(Tokenizer, TokensTakeTheirExtentByKind) {
  const std::pair<const char *, token_list> cases[] = {
      // Numbers take only their own digits.
      {"0xFF 1e5 0b12 1..2", {{D, "0x"}, {N, "FF"}, {D, "1"}, {N, "e5"}, {D, "0b1"}, {D, "2"}, {D, "1..2"}}},
      // Strings end at their quote, after an escaped backslash, or at the line end.
      {"'it''s' \"a\\\"b\" \"\\\\\" x", {{S, "'it'"}, {S, "'s'"}, {S, "\"a\\\"b\""}, {S, "\"\\\\\""}, {N, "x"}}},
      {"s = \"abc\n'a\\\nb", {{N, "s"}, {'=', "="}, {S, "\"abc"}, {L, "\n"}, {S, "'a\\"}, {L, "\n"}, {N, "b"}}},
      // Long brackets nest; an unclosed long string runs to the end, an
      // unclosed block comment (or one with '=' levels) to its line end.
      {"[[a [[b]] c]] t[ [1] ] --[[a [[b]] c]] x",
       {{S, "[[a [[b]] c]]"}, {N, "t"}, {'[', "["}, {'[', "["}, {D, "1"}, {']', "]"}, {']', "]"}, {C, "--[[a [[b]] c]]"}, {N, "x"}}},
      {"--[[ a\n--[=[ b ]=]\nx = [[s\n", {{C, "--[[ a"}, {L, "\n"}, {C, "--[=[ b ]=]"}, {L, "\n"}, {N, "x"}, {'=', "="}, {S, "[[s\n"}}},
      // An unclosed opener does not hide a later closed one.
      {"--[[ one\n--[[ two\nx ]] y", {{C, "--[[ one"}, {L, "\n"}, {C, "--[[ two\nx ]]"}, {N, "y"}}},
      {"<= ~= != <> %= ... !~ a // rest\nb", {{TOKEN_LE, "<="}, {TOKEN_NE, "~="}, {TOKEN_NE, "!="}, {TOKEN_NE, "<>"},
        {TOKEN_COMPOUND, "%="}, {TOKEN_CONCAT, ".."}, {'.', "."}, {'!', "!"}, {'~', "~"}, {N, "a"}, {L, "// rest"}, {L, "\n"}, {N, "b"}}},
      // Names are classified by the last list that has them.
      {"elseif nil not foreach spr \x8b\x91 a\x94z", {{TOKEN_ELSEIF, "elseif"}, {TOKEN_CONSTANT, "nil"}, {TOKEN_NOT, "not"},
        {A, "foreach"}, {N, "spr"}, {N, "\x8b\x91"}, {N, "a\x94z"}}},
  };
  for (const auto &[text, tokens] : cases) EXPECT_EQ(tokens_of(text), tokens) << text;
  std::string text;
  for (int i = 0; i < 3000; i++) text += "--[[ open\nx=1\n";
  EXPECT_EQ(count_tokens(text.c_str()), 3 * 3000);
}

TEST_F(Tokenizer, ReportsPositionsTextAndLines) {
  const char *text = "abc -- note\n\"s\" 12\n";
  const char *p = get_first_token(text);
  EXPECT_EQ(p, text + 3);
  EXPECT_STREQ(tokenizer.ident, "abc");
  p = get_next_token(p);
  EXPECT_EQ(p, text + 11) << "a comment ends at its newline";
  p = get_next_token(get_next_token(p));
  EXPECT_EQ(tokenizer.line, 1);
  EXPECT_STREQ(tokenizer.ident, "\"s\"");
  const char *end = get_next_token(get_next_token(get_next_token(p)));
  EXPECT_EQ(tokenizer.line, 2);
  EXPECT_EQ(get_token(), TOKEN_EOF);
  EXPECT_EQ(end, text + 19);
  EXPECT_EQ(get_next_token(end), end) << "reading past the end stays at the end";
  end_tokenizing();
}

TEST_F(Tokenizer, ApiNamesAreAddedUpToTheListsLimitAndGetTheirColour) {
  const std::string longest(63, 'n');
  EXPECT_EQ(add_api_function_name(nullptr), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name(""), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name((longest + "x").c_str()), API_NAME_BAD);
  EXPECT_EQ(add_api_function_name("end"), API_NAME_OK);
  EXPECT_EQ(count_tokens("spr(1) end"), 4) << "an API name \"end\" is no longer free";
  EXPECT_EQ(add_api_function_name(longest.c_str()), API_NAME_OK);
  for (int i = 2; i < k_api_name_slots; i++) ASSERT_EQ(add_api_function_name(("f" + std::to_string(i)).c_str()), API_NAME_OK);
  EXPECT_EQ(add_api_function_name("onemore"), API_NAME_LIST_FULL);
  EXPECT_EQ(tokens_of(longest + " " + longest + "x f255 onemore end"),
            (token_list{{A, longest}, {N, longest + "x"}, {A, "f255"}, {N, "onemore"}, {A, "end"}}));
  init_api_function_names();
  EXPECT_EQ(api_function_name_count(), 0);
  EXPECT_EQ(tokens_of("f2 end"), (token_list{{N, "f2"}, {TOKEN_END, "end"}}));
  // Colours by kind: spr ( x , 1 ) if not t then comment newline s = "s" .. nil
  add_api_function_name("spr");
  std::vector<int> colours;
  for (const auto &token : tokens_of("spr(x, 1) if not t then -- c\n s = \"s\" .. nil")) colours.push_back(get_token_color(token.first));
  EXPECT_EQ(colours, (std::vector<int>{11, 7, 6, 7, 12, 7, 14, 14, 6, 14, 13, 6, 6, 7, 12, 7, 12}));
  EXPECT_EQ(get_token_color(TOKEN_EOF), 6);
}
