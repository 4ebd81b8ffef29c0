// orrery -export_web: what the folder holds, and how each failure ends.
#include "shell/web_export.h"
#include "support/test.h"

namespace {

const char *k_cart = "orrery cartridge // export\nversion 12\n__lua__\n-- <dash> & \"run\"\nprint(1)\n";

// A player folder beside the program, with the files listed.
void make_player(const temp_folder &program, const std::vector<std::string> &files) {
  mkdir((program / "web").c_str(), 0755);
  for (const std::string &f : files)
    write_file(program / ("web/" + f), f == "index.html" ? "<title>@TITLE@</title> cart: \"@CART@\" @CART@" : f);
}

}  // namespace

TEST(WebExport, WritesThePageThePlayerAndTheCartridgeOrSaysWhyNot) {
  struct row {
    const char *name;
    std::vector<std::string> player;  // player files present
    const char *cart_name;            // "" for no cartridge file; "*" for a file that is no cartridge
    const char *out;                  // output folder in the temporary folder ("file" is a file there)
    int want;
    const char *said;                 // part of standard error
    const char *published;            // cartridge name in the folder
  };
  const std::vector<std::string> all = {"index.html", "orrery.js", "orrery.wasm"};
  const row rows[] = {
      {"written", all, "game.q7", "site/deep", WEB_EXPORT_OK, "", "game.q7"},
      {"unsafe name", all, "my game!.q7", "site", WEB_EXPORT_OK, "", "cart.q7"},
      {"no cartridge", all, "", "site", WEB_EXPORT_BAD_INPUT, "could not load", nullptr},
      {"not a cartridge", all, "*", "site", WEB_EXPORT_BAD_INPUT, "could not load", nullptr},
      {"no player", {}, "game.q7", "site", WEB_EXPORT_NO_PLAYER, "scripts/web-build.sh", nullptr},
      {"player without wasm", {"index.html", "orrery.js"}, "game.q7", "site", WEB_EXPORT_NO_PLAYER,
       "is not installed", nullptr},
      {"folder is a file", all, "game.q7", "file", WEB_EXPORT_WRITE_FAILED, "could not", nullptr},
  };
  for (const row &r : rows) {
    temp_folder program, work;
    vell_set_program_folder(program.path);
    make_player(program, r.player);
    std::string cart = work / (r.cart_name[0] == '*' ? "junk.q7" : r.cart_name[0] ? r.cart_name : "missing.q7");
    if (r.cart_name[0] == '*') write_file(cart, std::string("\x89PNG\r\n\x1a\n broken", 16));
    else if (r.cart_name[0]) write_file(cart, k_cart);
    write_file(work / "file", "x");
    const std::string out = work / r.out;
    const char *argv[] = {"orrery", "-export_web", cart.c_str(), out.c_str()};
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int rc = orrery_export_web(4, argv);
    testing::internal::GetCapturedStdout();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, r.want) << r.name << ": " << said;
    EXPECT_NE(said.find(r.said), std::string::npos) << r.name << ": stderr was " << said;
    if (!r.published) continue;
    EXPECT_EQ(read_file(out + "/" + r.published), k_cart) << r.name;
    EXPECT_EQ(read_file(out + "/orrery.wasm"), "orrery.wasm") << r.name;
    EXPECT_EQ(read_file(out + "/orrery.js"), "orrery.js") << r.name;
    EXPECT_EQ(read_file(out + "/index.html"), std::string("<title>&lt;dash&gt; &amp; &quot;run&quot;</title> cart: \"") +
                                                  r.published + "\" " + r.published)
        << r.name;
  }
  const char *usage[] = {"orrery", "-export_web", "game.q7"};
  testing::internal::CaptureStderr();
  EXPECT_EQ(orrery_export_web(3, usage), WEB_EXPORT_BAD_INPUT);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("usage: orrery -export_web CART OUT_FOLDER"), std::string::npos);
}
