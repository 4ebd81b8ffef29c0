// Test helpers for the script API: a fresh machine with an interpreter that
// has the API installed, the console font, recorded CPU charges, snippets
// run by text and the screen read back as pictures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "lua.h"
#include "support/temp_home.h"

struct vell_font;

// One recorded charge of an API function.
struct api_charge {
  int32_t cycles;  // as requested
  bool refund;     // api_refund rather than api_spend
  bool operator==(const api_charge &o) const { return cycles == o.cycles && refund == o.refund; }
};

class ApiMachine : public ::testing::Test {
 protected:
  temp_home home;  // files the functions write (cstore) stay in the test's folder
  lua_State *L = nullptr;
  vell_font *font = nullptr;

  void SetUp() override;
  void TearDown() override;

  // Runs a snippet; a failure to compile or run fails the test with its message.
  void run(const std::string &code);
  // Evaluates an expression: its raw 16.16 value, whole part or text.
  int32_t raw(const std::string &expr);
  int32_t num(const std::string &expr) { return raw(expr) >> 16; }
  std::string str(const std::string &expr);
  // Number of values an expression list gives ("f()" with no results is 0).
  int count(const std::string &exprs);

  // Table check: each row's code runs, then its expression's whole value
  // (num) must be want. Rows run in order on the same machine; _pix(x, y)
  // reads a screen pixel past clip and camera.
  struct after_case {
    const char *code;
    const char *expr;
    int32_t want;
  };
  void expect_after(std::initializer_list<after_case> rows);
  // Table check of pictures: each row's code runs on a screen filled with
  // colour fill, then the rectangle at (x, y) of w by h must read pic.
  struct picture_case {
    const char *code;
    int x, y, w, h;
    const char *pic;
  };
  void expect_pictures(std::initializer_list<picture_case> rows, int fill = 5);

  // Charges recorded since the last take_charges (the first call takes
  // everything since SetUp).
  std::vector<api_charge> take_charges();
  // Runs a snippet and returns the sum of what it spent (refunds excluded)
  // and the number of charges.
  int64_t spent_by(const std::string &code, int *charges = nullptr);

  // Screen pixel in screen coordinates.
  int pixel(int x, int y) const;
  // The screen rectangle as rows of hexadecimal digits, one per pixel,
  // each row ending in '\n'.
  std::string picture(int x, int y, int w, int h) const;
  // The whole screen, 128 rows of 128 characters without line ends: '7'
  // where a pixel is not 0, '0' where it is.
  std::string lit_pixels() const;
  // Sets every screen pixel to colour c.
  void fill_screen(int c);
  // Draws an 8x8 sprite n from 8 rows of hexadecimal digits, straight into
  // the sheet (bypassing the memory operations).
  void set_sprite(int n, const char *rows[8]);
};
