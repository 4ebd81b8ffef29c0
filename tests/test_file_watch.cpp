// The desktop's file watch on a real folder: what counts as a new version
// of the watched file, and what does not.
#include "platform/desktop/desktop.h"
#include "support/test.h"

TEST(FileWatch, SeesWritesAndRenamesOverTheFileOnlyAndFollowsItsFolderBack) {
  const vell_file_watch *w = vell_desktop_watch();
  ASSERT_NE(w, nullptr);
  temp_folder dir;
  const std::string carts = dir / "carts", game = carts + "/game.q7";
  std::filesystem::create_directory(carts);
  write_file(game, "one");
  EXPECT_EQ(w->start((dir / "missing/game.q7").c_str()), 1) << "a folder that is not there";
  ASSERT_EQ(w->start(game.c_str()), 0);

  // Each step's events are queued by the time its system calls return, so
  // one poll right after it sees them all.
  struct step {
    const char *what;
    std::function<void()> act;
    int changed;
  };
  const std::vector<step> steps = {
      {"nothing happened", [] {}, 0},
      {"another file written", [&] { write_file(carts + "/other.q7", "x"); }, 0},
      {"another file renamed into the folder",
       [&] {
         write_file(carts + "/b.tmp", "x");
         std::filesystem::rename(carts + "/b.tmp", carts + "/other2.q7");
       },
       0},
      {"the file read", [&] { read_file(game); }, 0},
      {"the file written in place", [&] { write_file(game, "two"); }, 1},
      {"a new file renamed over it",
       [&] {
         write_file(game + ".tmp", "three");
         std::filesystem::rename(game + ".tmp", game);
       },
       1},
      {"the file renamed away", [&] { std::filesystem::rename(game, carts + "/old.q7"); }, 0},
      {"the file renamed back", [&] { std::filesystem::rename(carts + "/old.q7", game); }, 1},
      {"the file deleted", [&] { std::filesystem::remove(game); }, 0},
      {"the file created again", [&] { write_file(game, "four"); }, 1},
      {"the folder removed", [&] { std::filesystem::remove_all(carts); }, 0},
      {"the folder made again with the file in it",
       [&] {
         std::filesystem::create_directory(carts);
         write_file(game, "five");
       },
       1},
      {"the file written after the folder came back", [&] { write_file(game, "six"); }, 1},
      {"the folder renamed away", [&] { std::filesystem::rename(carts, dir / "moved"); }, 0},
      {"the file written in the renamed folder", [&] { write_file(dir / "moved/game.q7", "seven"); }, 0},
      {"the watch stopped, then the file written",
       [&] {
         std::filesystem::rename(dir / "moved", carts);
         w->poll();
         w->stop();
         write_file(game, "eight");
       },
       0},
  };
  for (const step &s : steps) {
    s.act();
    EXPECT_EQ(w->poll(), s.changed) << s.what;
    EXPECT_EQ(w->poll(), 0) << s.what << ", polled again";
  }
}
