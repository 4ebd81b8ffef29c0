// The code text object: line positions, scrolling to the cursor, backups
// and the clipboard form of glyph bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gfx/ctext.h"

TEST(CodeText, LineNumbersAndLineStartsAgree) {
  const std::string text = "a=1\n\nprint(a)\nend";
  EXPECT_EQ(ctext_get_line_number_for_pos(text, 0), 0);
  EXPECT_EQ(ctext_get_line_number_for_pos(text, 3), 0) << "the newline itself belongs to its line";
  EXPECT_EQ(ctext_get_line_number_for_pos(text, 4), 1);
  EXPECT_EQ(ctext_get_line_number_for_pos(text, 5), 2);
  EXPECT_EQ(ctext_get_line_number_for_pos(text, 999), 3);
  EXPECT_EQ(ctext_get_line_number_for_pos(text, -5), 0);
  EXPECT_EQ(ctext_get_pos_for_line_number(text, 0), 0);
  EXPECT_EQ(ctext_get_pos_for_line_number(text, 1), 4);
  EXPECT_EQ(ctext_get_pos_for_line_number(text, 2), 5);
  EXPECT_EQ(ctext_get_pos_for_line_number(text, 3), 14);
  EXPECT_EQ(ctext_get_pos_for_line_number(text, 4), static_cast<int32_t>(text.size()));
  for (int32_t line = 0; line < 4; line++)
    EXPECT_EQ(ctext_get_line_number_for_pos(text, ctext_get_pos_for_line_number(text, line)), line);
}

TEST(CodeText, ScrollingKeepsTheCursorInViewCountingGlyphsAsTwoCells) {
  vell_ctext *c = vell_create_ctext(2000);
  std::string line(40, 'x');
  line[0] = static_cast<char>(0x91);  // a glyph byte: two cells
  std::string text;
  for (int i = 0; i < 30; i++) text += line + "\n";
  ASSERT_EQ(ctext_set_text(c, text), CTEXT_OK);
  c->cursor = 41 * 25 + 35;  // line 25, byte 35 = cell 36
  ctext_bound_scrolling_to_cursor(c, 0);
  EXPECT_EQ(c->scroll_x, (36 + 1) * 4 - 128);
  EXPECT_EQ(c->scroll_y, (25 + 1) * 6 - 128);
  ctext_bound_scrolling_to_cursor(c, 2);
  EXPECT_EQ(c->scroll_x, (36 + 3) * 4 - 128);
  EXPECT_EQ(c->scroll_y, (25 + 3) * 6 - 128);
  c->cursor = 41 * 3;
  ctext_bound_scrolling_to_cursor(c, 2);
  EXPECT_EQ(c->scroll_x, 0);
  EXPECT_EQ(c->scroll_y, 6);

  EXPECT_EQ(ctext_set_text(c, std::string(2001, 'a')), CTEXT_TOO_LONG);
  EXPECT_EQ(c->text, text) << "a refused text changes nothing";
  vell_destroy_ctext(c);
}

TEST(CodeText, BackupRecordsHaveTheirLayoutAndRestoreNewestFirst) {
  vell_ctext *c = vell_create_ctext(100);
  ctext_set_text(c, "ab");
  c->cursor = 1;
  c->sel_start = 0;
  c->sel_end = 2;
  c->scroll_x = -3;
  c->scroll_y = 12;
  vell_backup_ctext(c);
  const uint8_t expected[] = {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0xfd, 0xff, 0xff, 0xff, 12, 0, 0, 0,
                              'a', 'b', 0, 23, 0, 0, 0};
  ASSERT_EQ(c->backup.size(), sizeof expected);
  EXPECT_EQ(memcmp(c->backup.data(), expected, sizeof expected), 0);

  ctext_set_text(c, "second");
  c->cursor = 6;
  vell_backup_ctext(c);
  ctext_set_text(c, "third");
  EXPECT_EQ(vell_restore_ctext(c), 0);
  EXPECT_EQ(c->text, "second");
  EXPECT_EQ(c->cursor, 6);
  EXPECT_EQ(vell_restore_ctext(c), 0);
  EXPECT_EQ(c->text, "ab");
  EXPECT_EQ(c->scroll_x, -3);
  EXPECT_EQ(c->sel_end, 2);
  EXPECT_EQ(vell_restore_ctext(c), 1) << "the stream is empty";

  const std::string with_zero("a\0b", 3);
  ctext_set_text(c, with_zero);
  vell_backup_ctext(c);
  c->text.clear();
  EXPECT_EQ(vell_restore_ctext(c), 0);
  EXPECT_EQ(c->text, with_zero) << "the record's length bounds the text";

  c->backup = {1, 2, 3, 200, 0, 0, 0};  // a length pointing before the stream
  EXPECT_EQ(vell_restore_ctext(c), 1);
  EXPECT_TRUE(c->backup.empty());
  vell_destroy_ctext(c);
}

TEST(CodeText, GlyphEscapesRoundTripAndOtherBackslashesStay) {
  std::string text = "x=\"";
  text += static_cast<char>(0x80);
  text += static_cast<char>(0xff);
  text += "\" -- \\n \\127 \\256 \\12";
  const std::string escaped = convert_glyphs_to_escaped(text);
  EXPECT_EQ(escaped, "x=\"\\128\\255\" -- \\n \\127 \\256 \\12");
  EXPECT_EQ(convert_escaped_to_glyphs(escaped), text);
  EXPECT_EQ(convert_escaped_to_glyphs("\\200"), std::string(1, static_cast<char>(200)));
  EXPECT_EQ(convert_escaped_to_glyphs("\\20"), "\\20");
  EXPECT_EQ(convert_escaped_to_glyphs("\\"), "\\");
}
