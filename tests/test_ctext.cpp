// The code text object: line positions, its length limit, backups and the
// clipboard form of glyph bytes.
#include "support/test.h"

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
