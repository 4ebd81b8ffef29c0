// The script API: installing the console's functions into an interpreter
// state, and the argument and result conventions every API function follows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lua.h"

// Installs every API function as a global of L, in registration order, and
// hands their names to the tokenizer's API name list. Installing again
// overwrites the same globals.
void add_c_functions(lua_State *L);

// The global names in registration order: the name at index, null past
// the last.
const char *api_function_name(int index);

// Arguments are read by position. Numbers never raise: a missing argument,
// nil, a boolean, a table or a string that does not convert reads as 0.
inline int api_nargs(lua_State *L) { return lua_gettop(L); }
inline int32_t api_num(lua_State *L, int idx) { return lua_tonumberx(L, idx, nullptr); }
// Integer arguments are the 16.16 value rounded toward negative infinity.
inline int32_t api_int(lua_State *L, int idx) { return api_num(L, idx) >> 16; }
// Flags follow the interpreter's truth test: only nil, false and a missing
// argument are false.
inline bool api_flag(lua_State *L, int idx) { return lua_toboolean(L, idx) != 0; }
// A colour argument that is given (decided by the count, so nil counts)
// becomes the current colour, masked to 8 bits. Returns 1 when it was given.
int api_take_colour(lua_State *L, int idx);

// Text of a value as print and tostr show it: strings as they are, numbers
// in the console's decimal form, booleans as true and false, anything else
// as its type in brackets.
struct api_value_text {
  char buf[64];      // number, boolean or "[type]" text
  const char *text;  // the text, buf or the string's own characters
  size_t len;        // its length in bytes
};
void api_text_of(lua_State *L, int idx, api_value_text &t);

// Results. Integers are pushed as n << 16.
inline int api_push_num(lua_State *L, int32_t v) {
  lua_pushnumber(L, v);
  return 1;
}
inline int api_push_int(lua_State *L, int32_t n) {
  lua_pushnumber(L, static_cast<int32_t>(static_cast<uint32_t>(n) << 16));
  return 1;
}
inline int api_push_bool(lua_State *L, bool b) {
  lua_pushboolean(L, b ? 1 : 0);
  return 1;
}
