// Folder listings with patterns and masks, existence checks, folders and dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/temp_home.h"

namespace {

using names = std::vector<std::string>;

// Names listed with a pattern and mask, sorted, each with its size; "!" when the listing failed.
names list(const std::string &folder, const char *pattern, int32_t mask) {
  names out;
  vell_find_result r;
  if (vell_find_first(folder.c_str(), pattern, &r, mask) == 0) {
    do out.push_back(std::string(r.name) + ((r.mode & 0x4000) ? "/" : ":" + std::to_string(r.size)));
    while (vell_find_next(&r) == 0);
    EXPECT_EQ(vell_find_next(&r), 1) << "stays exhausted";
  } else {
    out.push_back("!");
  }
  vell_find_close(&r);
  vell_find_close(&r);  // a second close is harmless
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(FolderListing, PatternsKeepSuffixesWithoutCaseAndMasksSplitFoldersFromFiles) {
  temp_home home;
  const std::string d = home.path + "list/";
  vell_make_directories((d + "sub").c_str());
  vell_make_directory((d + "games.q7").c_str());
  for (const char *f : {"a.q7", "B.Q7", "c.q7.png", "notes.txt"}) write_file(d + f, std::string(f).substr(0, 2));
  // The complement of the folder bit keeps files only; a pattern without '*' keeps all.
  const std::tuple<std::string, const char *, int32_t, names> cases[] = {
      {d, "*.q7", -1, {"B.Q7:2", "a.q7:2", "games.q7/"}},
      {d, "*.q7", 0x4000, {"games.q7/"}},
      {d, "*.q7", ~0x4000, {"B.Q7:2", "a.q7:2"}},
      {d, "", 0x4000, {"../", "./", "games.q7/", "sub/"}},
      {d, "all", ~0x4000, {"B.Q7:2", "a.q7:2", "c.q7.png:2", "notes.txt:2"}},
      {d + "missing", "*", -1, {"!"}},
      {d, "*.nothing", -1, {"!"}},
  };
  for (const auto &[folder, pattern, mask, want] : cases) EXPECT_EQ(list(folder, pattern, mask), want) << pattern << " " << mask;
}

TEST(FolderListing, ExistenceFoldersAndDates) {
  temp_home home;
  write_file(home.path + "f.txt", "1");
  EXPECT_EQ(vell_file_exists((home.path + "f.txt").c_str()) + vell_directory_exists(home.path.c_str()), 2);
  EXPECT_EQ(vell_file_exists(home.path.c_str()) + vell_directory_exists((home.path + "f.txt").c_str()), 0);
  EXPECT_EQ(vell_make_directories((home.path + "a/b/c").c_str()), 0);
  EXPECT_EQ(vell_directory_exists((home.path + "a/b/c").c_str()), 1);
  EXPECT_EQ(vell_make_directory((home.path + "f.txt/x").c_str()), 1);
  int32_t y, m, dd;
  const int32_t date = vell_get_date(&y, &m, &dd);
  EXPECT_EQ(date, y * 10000 + m * 100 + dd);
  EXPECT_GE(y, 2024);
  setenv("TZ", "UTC", 1);
  tzset();
  char text[32];
  vell_print_date(86400 * 365 + 3661, text);
  EXPECT_STREQ(text, "1971-01-01 01:01:01");
}
