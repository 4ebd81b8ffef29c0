// The console's own tokenizer: token codes, token counting, highlight colours
// and the list of API function names it recognises.
#pragma once

#include <cstddef>

// Token codes. A single-character token is coded by its byte value (0-255);
// every other kind of token has one of these negative codes.
enum token_code {
  TOKEN_EOF = -1000,       // end of text (the terminating NUL)
  TOKEN_NEWLINE = -999,    // a newline, or "//" up to (not including) the end of its line
  TOKEN_NAME = -998,       // a name that is neither a keyword nor an API name
  TOKEN_NUMBER = -997,
  TOKEN_STRING = -996,     // quoted or long string
  TOKEN_COMMENT = -995,    // "--" line comment or "--[[ ]]" block comment
  TOKEN_FUNCTION = -993,
  TOKEN_END = -992,
  TOKEN_FOR = -991,
  TOKEN_IF = -990,
  TOKEN_THEN = -989,
  TOKEN_ELSE = -988,
  TOKEN_ELSEIF = -987,
  TOKEN_WHILE = -986,
  TOKEN_DO = -985,
  TOKEN_IN = -984,
  TOKEN_LOCAL = -983,
  TOKEN_RETURN = -982,
  TOKEN_REPEAT = -981,
  TOKEN_UNTIL = -980,
  TOKEN_GOTO = -979,
  TOKEN_BREAK = -978,
  TOKEN_API = -977,        // API name, or foreach, all, add, del, menuitem
  TOKEN_NOT = -974,
  TOKEN_AND = -973,
  TOKEN_OR = -972,
  TOKEN_LE = -968,         // <=
  TOKEN_GE = -967,         // >=
  TOKEN_NE = -965,         // ~=, != or <>
  TOKEN_EQ = -964,         // ==
  TOKEN_COMPOUND = -963,   // +=, -=, *=, /=, %=
  TOKEN_CONCAT = -962,     // ..
  TOKEN_CONSTANT = -961,   // true, false, nil
};

// Longest token text kept in `ident`, including its NUL. Longer tokens are
// still read whole; only their copy in `ident` is cut short.
constexpr size_t k_token_text_size = 128 * 1024;

// The tokenizer's state, private to it and overwritten by every token read.
struct token_state {
  int token = 0;                       // code of the token read last
  char ident[k_token_text_size] = {};  // text of that token when it is a name, number or string, else ""
  const char *start = nullptr;         // text given to get_first_token
  int line = 0;                        // newline tokens read since get_first_token
};

// Starts tokenizing `text` (NUL-terminated) and reads its first token;
// returns the position after that token. The text must stay unchanged until
// end_tokenizing or the next get_first_token.
const char *get_first_token(const char *text);
// Reads the token at `position` (any position of a NUL-terminated text) and
// returns the position after it; for a line comment or "//", the position of
// the newline (or NUL) that ends it. At the end of the text the position of
// the NUL is returned, so reading on keeps giving TOKEN_EOF.
const char *get_next_token(const char *position);
// Code of the token read last.
int get_token();
// Text of the token read last when it is a name, number or string (cut to
// k_token_text_size - 1 bytes), else "".
const char *get_token_text();
// Forgets the text given to get_first_token; call when done with it, before
// the text may change or be freed.
void end_tokenizing();

// Number of counted tokens in `text`: every token except newlines, comments,
// `local`, `end`, the end of text and the characters ; ) } ] . , :
int count_tokens(const char *text);
// True for the codes that count_tokens leaves out.
bool is_free_token(int code);
// Console palette index used to highlight a token of kind `code`.
int get_token_color(int code);

// The API name list, filled while the API is registered.
constexpr int k_api_name_slots = 256;  // names the list can hold
constexpr size_t k_api_name_size = 64; // bytes per name, including its NUL

enum api_name_status {
  API_NAME_OK = 0,
  API_NAME_LIST_FULL = 1,  // all k_api_name_slots slots are taken
  API_NAME_BAD = 2,        // empty, null or longer than 63 characters
};

// Empties the API name list (before registration, and between tests).
void init_api_function_names();
// Appends a name to the API name list; returns an api_name_status.
int add_api_function_name(const char *name);
// Number of names in the API name list.
int api_function_name_count();
