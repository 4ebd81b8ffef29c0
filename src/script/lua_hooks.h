// What the patched interpreter calls back into: fixed-point numbers, error-line bookkeeping and the assertion text.
#pragma once

#include "script/fixed.h"

struct lua_State;

// Line (of the compiled chunk, from 1) of the last runtime error or
// positioned error message.
extern int orrery_runtime_line;
// Line at which the parser last began a statement; -1 before any.
extern int orrery_last_line_number;

// Maps a chunk line that a syntax error message cites (for example "to
// close 'function' at line %d") to the line the user should see. The runner
// points it at its mapping onto code tabs; the default keeps the line.
using orrery_cite_line_func = int (*)(int chunk_line);
extern orrery_cite_line_func orrery_cite_line_hook;
int orrery_cite_line(int chunk_line);

// Message of the last failed assertion, "" when it had none.
constexpr int ORRERY_ASSERT_TEXT_MAX = 254;
extern char orrery_assert_text[ORRERY_ASSERT_TEXT_MAX + 1];
// Clears the assertion text, then copies up to ORRERY_ASSERT_TEXT_MAX
// characters of text into it (nothing for a null text).
void orrery_assert_message(const char *text);

// Called by the coroutine library around each resume: before it with the
// coroutine, after it (whatever the outcome) with the resuming thread.
void orrery_before_resume(lua_State *co);
void orrery_after_resume(lua_State *resumer);
