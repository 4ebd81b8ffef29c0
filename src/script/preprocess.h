// The source preprocessor: rewrites the console's shorthand notations in a
// program text into plain Lua, keeping every line on its line number.
#pragma once

#include <cstddef>

// Size of the output buffer the runner hands to orrery_preprocess, and of
// each of the preprocessor's line buffers (bytes, including the NUL).
constexpr size_t k_preprocess_buffer_size = 128 * 1024;

// Most source lines handled; the text after the last of them is dropped.
constexpr int k_preprocess_max_lines = 65536;

enum preprocess_status {
  PREPROCESS_OK = 0,
  PREPROCESS_TRUNCATED = 1,  // the result did not fit in the output buffer and was cut short
};

// Rewrites `source` (NUL-terminated; null reads as empty) into `output`,
// which receives at most `output_size` bytes including the terminating NUL.
// Comments are stripped; `+=` and the other compound assignments, `!=`,
// one-line `if (c) statement`, `?` print lines and button glyphs become plain
// Lua. Returns a preprocess_status; a truncated result is still
// NUL-terminated.
int orrery_preprocess(const char *source, char *output,
                      size_t output_size = k_preprocess_buffer_size);
