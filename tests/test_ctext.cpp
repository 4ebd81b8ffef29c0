// The code text object: line positions, its length limit, backups and the
// clipboard form of glyph bytes.
#include "support/test.h"

TEST(CodeText, LinePositionsAndItsLengthLimit) {
  const std::string text = "a=1\n\nprint(a)\nend";
  // Positions to lines (the newline belongs to its line) and lines to starts.
  const int32_t pos_line[][2] = {{0, 0}, {3, 0}, {4, 1}, {5, 2}, {999, 3}, {-5, 0}};
  for (const auto &[pos, line] : pos_line) EXPECT_EQ(ctext_get_line_number_for_pos(text, pos), line) << pos;
  const int32_t starts[] = {0, 4, 5, 14, static_cast<int32_t>(text.size())};
  for (int32_t line = 0; line < 5; line++) EXPECT_EQ(ctext_get_pos_for_line_number(text, line), starts[line]) << line;

  vell_ctext *c = vell_create_ctext(20);
  ASSERT_EQ(ctext_set_text(c, text), CTEXT_OK);
  EXPECT_EQ(ctext_set_text(c, std::string(21, 'a')), CTEXT_TOO_LONG);
  EXPECT_EQ(c->text, text) << "a refused text changes nothing";
  vell_destroy_ctext(c);
}

TEST(CodeText, BackupRecordsHaveTheirLayoutAndRestoreNewestFirst) {
  vell_ctext *c = vell_create_ctext(100);
  ctext_set_text(c, "ab");
  c->cursor = 1, c->sel_start = 0, c->sel_end = 2, c->scroll_x = -3, c->scroll_y = 12;
  vell_backup_ctext(c);
  const uint8_t expected[] = {1,    0,    0,  0, 0, 0, 0,   0,   2, 0,  0, 0, 0xfd, 0xff,
                              0xff, 0xff, 12, 0, 0, 0, 'a', 'b', 0, 23, 0, 0, 0};
  ASSERT_EQ(c->backup.size(), sizeof expected);
  EXPECT_EQ(memcmp(c->backup.data(), expected, sizeof expected), 0);
  const std::string with_zero("a\0b", 3);  // the record's length bounds the text
  ctext_set_text(c, with_zero);
  vell_backup_ctext(c);
  ctext_set_text(c, "third");
  EXPECT_EQ(vell_restore_ctext(c), 0);
  EXPECT_EQ(c->text, with_zero);
  EXPECT_EQ(vell_restore_ctext(c), 0);
  EXPECT_EQ(c->text + std::to_string(c->scroll_x) + std::to_string(c->sel_end), "ab-32");
  EXPECT_EQ(vell_restore_ctext(c), 1) << "the stream is empty";
  c->backup = {1, 2, 3, 200, 0, 0, 0};  // a length pointing before the stream
  EXPECT_EQ(vell_restore_ctext(c), 1);
  EXPECT_TRUE(c->backup.empty());
  vell_destroy_ctext(c);
}

TEST(CodeText, GlyphEscapesRoundTripAndOtherBackslashesStay) {
  const std::string text = "x=\"\x80\xff\" -- \\n \\127 \\256 \\12";
  EXPECT_EQ(convert_glyphs_to_escaped(text), "x=\"\\128\\255\" -- \\n \\127 \\256 \\12");
  EXPECT_EQ(convert_escaped_to_glyphs(convert_glyphs_to_escaped(text)), text);
  EXPECT_EQ(convert_escaped_to_glyphs("\\200"), std::string(1, static_cast<char>(200)));
  EXPECT_EQ(convert_escaped_to_glyphs("\\20") + convert_escaped_to_glyphs("\\"), "\\20\\");
}
