#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/temp_home.h"

namespace {

// Names listed with a pattern and mask, sorted; "!" when the listing failed.
std::vector<std::string> list(const std::string &folder, const char *pattern, int32_t mask) {
  std::vector<std::string> names;
  vell_find_result r;
  if (vell_find_first(folder.c_str(), pattern, &r, mask) != 0) {
    vell_find_close(&r);
    return {"!"};
  }
  do names.push_back(r.name);
  while (vell_find_next(&r) == 0);
  vell_find_close(&r);
  std::sort(names.begin(), names.end());
  return names;
}

using names = std::vector<std::string>;

}  // namespace

TEST(FolderListing, PatternsKeepSuffixesWithoutCaseAndMasksSplitFoldersFromFiles) {
  temp_home home;
  const std::string d = home.path + "list/";
  vell_make_directories((d + "sub").c_str());
  vell_make_directory((d + "games.q7").c_str());
  write_file(d + "a.q7", "x");
  write_file(d + "B.Q7", "yy");
  write_file(d + "c.q7.png", "z");
  write_file(d + "notes.txt", "");

  EXPECT_EQ(list(d, "*.q7", -1), (names{"B.Q7", "a.q7", "games.q7"}));
  EXPECT_EQ(list(d, "*.q7", 0x4000), (names{"games.q7"}));
  EXPECT_EQ(list(d, "*.q7", ~0x4000), (names{"B.Q7", "a.q7"})) << "the complement of the folder bit keeps files only";
  EXPECT_EQ(list(d, "", 0x4000), (names{".", "..", "games.q7", "sub"}));
  EXPECT_EQ(list(d, "*", ~0x4000), (names{"B.Q7", "a.q7", "c.q7.png", "notes.txt"}));
  EXPECT_EQ(list(d, "all", ~0x4000), (names{"B.Q7", "a.q7", "c.q7.png", "notes.txt"})) << "no '*' keeps all";
  EXPECT_EQ(list(d + "missing", "*", -1), (names{"!"}));
  EXPECT_EQ(list(d, "*.nothing", -1), (names{"!"})) << "nothing kept: 1 from the first call";

  // Mode and size of an entry.
  vell_find_result r;
  ASSERT_EQ(vell_find_first(d.c_str(), "*.Q7", &r, ~0x4000), 0);
  do {
    if (std::string(r.name) == "B.Q7") {
      EXPECT_EQ(r.size, 2);
      EXPECT_EQ(r.mode & 0x4000, 0);
      EXPECT_NE(r.mode, 0);
    }
  } while (vell_find_next(&r) == 0);
  EXPECT_EQ(vell_find_next(&r), 1) << "stays exhausted";
  vell_find_close(&r);
  vell_find_close(&r);  // a second close is harmless
}

TEST(FolderListing, ExistenceAndDates) {
  temp_home home;
  write_file(home.path + "f.txt", "1");
  EXPECT_EQ(vell_file_exists((home.path + "f.txt").c_str()), 1);
  EXPECT_EQ(vell_file_exists(home.path.c_str()), 0);
  EXPECT_EQ(vell_directory_exists(home.path.c_str()), 1);
  EXPECT_EQ(vell_directory_exists((home.path + "f.txt").c_str()), 0);
  EXPECT_EQ(vell_file_exists((home.path + "none").c_str()), 0);
  EXPECT_EQ(vell_make_directories((home.path + "a/b/c").c_str()), 0);
  EXPECT_EQ(vell_directory_exists((home.path + "a/b/c").c_str()), 1);
  EXPECT_EQ(vell_make_directory((home.path + "f.txt/x").c_str()), 1);

  int32_t y, m, dd;
  const int32_t date = vell_get_date(&y, &m, &dd);
  EXPECT_EQ(date, y * 10000 + m * 100 + dd);
  EXPECT_GE(y, 2024);
  vell_datetime utc;
  vell_get_datetime(&utc, 0);
  EXPECT_GE(utc.year, 2024);
  EXPECT_GE(utc.month, 1);
  EXPECT_LE(utc.month, 12);

  setenv("TZ", "UTC", 1);
  tzset();
  char text[32];
  vell_print_date(86400 * 365 + 3661, text);
  EXPECT_STREQ(text, "1971-01-01 01:01:01");
}

TEST(FileWriting, NewFilesNeverReplaceAnythingAndLeaveNoTemporaryFile) {
  temp_home home;
  const std::string d = home.path + "new/";
  vell_make_directory(d.c_str());
  write_file(d + "taken", "old");
  vell_make_directory((d + "folder").c_str());

  EXPECT_EQ(vell_write_new_file((d + "fresh").c_str(), "abc", 3), VELL_WRITE_OK);
  EXPECT_EQ(read_file(d + "fresh"), "abc");
  EXPECT_EQ(vell_write_new_file((d + "taken").c_str(), "abc", 3), VELL_WRITE_EXISTS);
  EXPECT_EQ(read_file(d + "taken"), "old");
  EXPECT_EQ(vell_write_new_file((d + "folder").c_str(), "abc", 3), VELL_WRITE_EXISTS);
  EXPECT_EQ(vell_write_new_file((d + "missing/x").c_str(), "abc", 3), VELL_WRITE_OPEN_FAILED);
  EXPECT_EQ(list(d, "*", -1), (names{".", "..", "folder", "fresh", "taken"}));
  struct stat st;
  ASSERT_EQ(stat((d + "fresh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}
