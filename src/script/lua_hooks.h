// What the patched interpreter calls back into: fixed-point numbers, and the error lines, assertion text, resume notices and power charges of the calling state.
#pragma once

#include <cstdint>

#include "script/fixed.h"

struct lua_State;

// Each call reaches the record of the state that thread L belongs to (see
// script/interp.h); none of them keeps anything outside it.

// Records the line (of the compiled chunk, from 1) of a runtime error or
// positioned error message.
void orrery_note_runtime_line(lua_State *L, int line);
// Records the line at which the parser begins a statement.
void orrery_note_statement_line(lua_State *L, int line);
// Maps a chunk line that a syntax error message cites to the line the user
// should see, through the state's cite_line hook.
int orrery_cite_line(lua_State *L, int chunk_line);

// Longest assertion text kept, in characters.
constexpr int ORRERY_ASSERT_TEXT_MAX = 254;
// Clears the state's assertion text, then copies up to
// ORRERY_ASSERT_TEXT_MAX characters of text into it (nothing for a null
// text).
void orrery_assert_message(lua_State *L, const char *text);

// Called by the coroutine library around each resume: before it with the
// coroutine, after it (whatever the outcome) with the resuming thread.
void orrery_before_resume(lua_State *co);
void orrery_after_resume(lua_State *resumer);

// The `^` operator: fixed_pow, its cost charged to L's state (nothing
// without a state, as when a constant is folded outside any).
int32_t orrery_lua_pow(lua_State *L, int32_t a, int32_t b);
