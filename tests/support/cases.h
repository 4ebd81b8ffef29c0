// Table-driven checks: each row holds the text of an expression, the value
// it gave and the value expected, so a failing row names itself. Rows of a
// braced list are evaluated in order, first to last.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

struct int_case {
  const char *name;  // the expression as written
  int64_t got;
  int64_t want;
};

inline int_case make_case(const char *name, int64_t got, int64_t want) { return int_case{name, got, want}; }

#define ROW(expr, want) make_case(#expr, static_cast<int64_t>(expr), static_cast<int64_t>(want))

inline void expect_rows(std::initializer_list<int_case> rows) {
  for (const int_case &r : rows) EXPECT_EQ(r.got, r.want) << r.name;
}
