// The load and save workflow through the console commands a program calls:
// finding files, saving with backups and size checks, legacy changes,
// cstore and reload with files, path escapes, quick save and load, the
// clipboard and the embedded cartridges.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/ctext.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_legacy.h"
#include "machine/cart_load.h"
#include "machine/cart_names.h"
#include "machine/cart_partial.h"
#include "machine/cart_png.h"
#include "machine/cart_save.h"
#include "machine/cart_text.h"
#include "machine/hooks.h"
#include "machine/pstate.h"
#include "platform/clipboard.h"
#include "platform/paths.h"
#include "script/cpu_budget.h"
#include "script/runner.h"
#include "shell/boot.h"
#include "support/cart_support.h"
#include "support/runner_rig.h"

namespace {

struct line {
  std::string text;
  int32_t colour;
  bool operator==(const line &o) const { return text == o.text && colour == o.colour; }
};
std::vector<line> g_printed;
std::vector<std::string> g_shown;
std::vector<int32_t> g_charges;

std::ostream &operator<<(std::ostream &os, const line &l) { return os << "{\"" << l.text << "\", " << l.colour << "}"; }

// The console in-process, with a program that has run once; printing and
// the message bar are recorded.
class Workflow : public ::testing::Test {
 protected:
  runner_rig rig;
  std::string carts, home;

  void SetUp() override {
    rig.run("function _update() end");
    rig.frame();
    carts = rig.home.path + "carts/";
    home = rig.home.path;
    orrery_machine_hooks hooks = {};
    hooks.print_col = [](const char *text, int32_t colour) { g_printed.push_back({text, colour}); };
    hooks.show_message = [](const char *text, int32_t) { g_shown.push_back(text); };
    hooks.working_cart_loaded = split_code_to_tabs;
    orrery_set_machine_hooks(hooks);
    clear_stored_files();
    clear_embedded_carts();
    orrery_set_partial_cart_name("");
    orrery_set_cpu_observer([](int32_t cycles, int) { g_charges.push_back(cycles); });
    take();
  }
  void TearDown() override { orrery_set_cpu_observer(nullptr); }

  // As at a console that has run no program: the file commands print.
  void at_console() { pstate.program_started = 0; }
  std::vector<line> take() {
    std::vector<line> out;
    out.swap(g_printed);
    g_shown.clear();
    g_charges.clear();
    return out;
  }
  std::string code() const { return orrery_working_cart()->code; }
};

void write_picture_cart(const std::string &path, const std::string &code) {
  cart_ptr cart(vell_create_orrery_cart());
  snprintf(cart->code, k_cart_code_size, "%s", code.c_str());
  ASSERT_EQ(save_orrery_cart_png(cart.get(), path.c_str()), CART_PNG_SAVE_OK) << path;
}

std::string upper_case_code(size_t n) {
  std::string s;
  uint32_t x = 12345;
  for (size_t i = 0; i < n; i++) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('A' + (x >> 16) % 26);
  }
  return s;
}

}  // namespace

TEST_F(Workflow, LoadFindsTheFileInOrderTryingPicturesFirst) {
  at_console();
  struct row {
    std::vector<std::string> text_files, picture_files;
    const char *name, *loaded, *code;
  };
  const row rows[] = {
      {{"game.q7"}, {"game.q7.png", "game.png"}, "game", "game.q7", "-- text game.q7"},
      {{}, {"game.q7.png", "game.png"}, "game", "game.q7.png", "-- picture game.q7.png"},
      {{}, {"game.png"}, "game", "game.png", "-- picture game.png"},
      {{}, {"game.q7"}, "game", "game.q7", "-- picture game.q7"},  // a picture under a text name
      {{"x.q7"}, {"x.q7.png"}, "x.png", "x.q7.png", "-- picture x.q7.png"},
      {{"odd.txt.q7"}, {}, "odd.txt", "odd.txt.q7", "-- text odd.txt.q7"},
      {{"dir/y.q7"}, {}, "/dir/y", "y.q7", "-- text dir/y.q7"},
  };
  for (const row &r : rows) {
    std::filesystem::remove_all(carts);
    std::filesystem::create_directories(carts + "dir");
    for (const std::string &f : r.text_files) write_file(carts + f, cart_file("-- text " + f));
    for (const std::string &f : r.picture_files) write_picture_cart(carts + f, "-- picture " + f);
    take();
    EXPECT_EQ(rig_eval((std::string("return load('") + r.name + "')").c_str()), "true") << r.name;
    EXPECT_EQ(code(), r.code) << r.name;
    EXPECT_EQ(
        take(),
        (std::vector<line>{{"loaded " + std::string(r.loaded) + " (" + std::to_string(code().size()) + " chars)", 6}}))
        << r.name;
  }
  // Names that never load, and what a failure says.
  for (const char *name : {"#game", "__game", "nothing", "../carts/game"}) {
    EXPECT_EQ(rig_eval((std::string("return load('") + name + "')").c_str()), "false") << name;
    EXPECT_EQ(take(), (std::vector<line>{{"could not load", 6}})) << name;
  }
  write_file(carts + "new.q7", "orrery cartridge // x\nversion 13\n__lua__\n");
  EXPECT_EQ(rig_eval("return load('new')"), "false");
  EXPECT_EQ(rig_eval("return load('nothing')"), "false");
  EXPECT_EQ(take(), (std::vector<line>{{"could not load: future version", 6}, {"could not load", 6}}))
      << "the status is cleared once reported";
  EXPECT_EQ(rig_eval("return load()"), "");
}

TEST_F(Workflow, LoadResetsMemoryChargesAndRunsTheNewCartridgeFromAProgram) {
  write_file(carts + "next.q7", cart_file("nxt=1 function _update() end") + "__gff__\n07\n");
  rig_eval("poke(0x3000, 9)");
  take();
  EXPECT_EQ(rig_eval("return load('next', 'back to menu', 'p1')"), "true");
  EXPECT_EQ(pstate.cart ? orrery_peek(&pstate, pstate.cart, 0x3000) : -1, 0x07)
      << "memory comes from the new cartridge";
  EXPECT_EQ(g_charges, (std::vector<int32_t>{4194304}));
  EXPECT_TRUE(take().empty()) << "nothing is printed while a program runs";
  EXPECT_EQ(pstate.pending_request, REQ_RUN);
  EXPECT_EQ(pstate.busy_countdown, 30);
  EXPECT_STREQ(get_run_chain_label(), "back to menu");
  for (int i = 0; i < 40; i++) rig.frame();
  EXPECT_EQ(rig.num("nxt"), 1);
  EXPECT_EQ(rig_eval("return stat(6)"), "p1") << "the parameters come with the load";

  // A failed load costs nothing and starts nothing.
  take();
  EXPECT_EQ(rig_eval("return load('missing')"), "false");
  EXPECT_TRUE(g_charges.empty());
  EXPECT_TRUE(take().empty());
}

TEST_F(Workflow, SaveNamesBackupsAndSizeLimits) {
  at_console();
  snprintf(orrery_working_cart()->code, k_cart_code_size, "-- saved");
  split_code_to_tabs();
  take();
  const std::vector<line> blank = {{"warning: label is blank", 9}, {"run cart and use f7 to capture", 10}};
  struct row {
    const char *name, *file;
    bool picture;
  };
  for (const row &r : {row{"x.png", "x.q7.png", true}, row{"x", "x.q7", false}, row{"/y.q7.png", "y.q7.png", true},
                       row{"z.txt", "z.txt.q7", false}}) {
    rig_eval((std::string("save('") + r.name + "')").c_str());
    std::vector<line> expected = r.picture ? blank : std::vector<line>{};
    expected.push_back({std::string("saved ") + r.file, 6});
    EXPECT_EQ(take(), expected) << r.name;
    cart_ptr back(load_cart_file(carts + r.file));
    ASSERT_TRUE(back) << r.file;
    EXPECT_STREQ(back->code, "-- saved");
    EXPECT_EQ(std::string(working_file_name()), carts + r.file);
  }
  EXPECT_FALSE(path_exists(carts + "x.png"));

  // Saving over another file keeps a copy of it in backup/.
  write_file(carts + "old.q7", cart_file("-- old"));
  rig_eval("save('old')");
  EXPECT_EQ(g_shown, (std::vector<std::string>{"** overwriting; saved backup **"}));
  EXPECT_EQ(read_file(home + "backup/old.q7"), cart_file("-- old"));
  take();
  rig_eval("save('old')");
  EXPECT_TRUE(g_shown.empty()) << "the working file itself is not backed up";
  take();

  rig_eval("save() save('')");
  EXPECT_EQ(take(), (std::vector<line>{{"please specify filename", 6}, {"please specify filename", 6}}));
  rig_eval(("save('" + std::string(512, 'a') + "')").c_str());
  EXPECT_EQ(take(), (std::vector<line>{{"filename too long", 6}}));

  // 15360 bytes of stored code fit a picture, 15361 do not; text saves warn.
  for (int32_t size : {15360, 15361}) {
    snprintf(orrery_working_cart()->code, k_cart_code_size, "%s", upper_case_code(size).c_str());
    split_code_to_tabs();
    ASSERT_EQ(cart_code_stored_size(orrery_working_cart()), size);
    std::filesystem::remove(carts + "big.q7.png");
    take();
    rig_eval("save('big.png') save('big')");
    const std::string sizes = std::to_string(size) + " / 15360 bytes";
    std::vector<line> expected;
    if (size == 15360) {
      expected = blank;
      expected.push_back({"saved big.q7.png", 6});
      expected.push_back({"saved big.q7", 6});
    } else {
      expected = {{"compressed code size too large\n", 8},
                  {sizes, 6},
                  {"warning: compressed code too big", 9},
                  {"to be exported or saved as png", 9},
                  {sizes, 6},
                  {"(saving .q7 anyway)\n", 6},
                  {"saved big.q7", 6}};
    }
    EXPECT_EQ(take(), expected) << size;
    EXPECT_EQ(path_exists(carts + "big.q7.png"), size == 15360);
  }
  // A running program cannot save (outside exec mode).
  pstate.program_started = 1;
  rig_eval("save('quiet')");
  EXPECT_FALSE(path_exists(carts + "quiet.q7"));
}

TEST(Legacy, OldCartridgesAreBroughtUpToDate) {
  std::vector<std::string> printed;
  static std::vector<std::string> *out;
  out = &printed;
  orrery_machine_hooks hooks = {};
  hooks.print_col = [](const char *text, int32_t) { out->push_back(text); };
  orrery_set_machine_hooks(hooks);

  // Patterns: sound 1 speed 8, sound 2 speed 16, sound 3 speed 32 looping.
  auto cart_with = [](int32_t version, std::vector<int32_t> columns) {
    orrery_cart *c = vell_create_orrery_cart();
    c->version = version;
    c->sfx[1].speed = 8;
    c->sfx[2].speed = 16;
    c->sfx[3].speed = 32;
    c->sfx[3].loop_end = 8;
    for (int i = 0; i < 4; i++) c->music[0].channel[i] = columns[i];
    return cart_ptr(c);
  };
  struct row {
    const char *name;
    int32_t version;
    std::vector<int32_t> before, after;
    std::vector<std::string> printed;
  };
  const row rows[] = {
      {"shorter first column", 4, {1, 0x41, 2, 0x43}, {2, 0x41, 1, 0x43}, {"legacy: pat 0 swap chan: 0 2"}},
      {"longest column loops", 4, {3, 2, 2, 0x44}, {3, 2, 2, 0x44}, {}},
      {"off columns do not count", 4, {1, 0x42, 0x43, 0x44}, {1, 0x42, 0x43, 0x44}, {}},
      {"version 5", 5, {1, 0x41, 2, 0x43}, {1, 0x41, 2, 0x43}, {}},
  };
  for (const row &r : rows) {
    printed.clear();
    cart_ptr c = cart_with(r.version, r.before);
    apply_legacy_changes(c.get());
    EXPECT_EQ(std::vector<int32_t>(c->music[0].channel, c->music[0].channel + 4), r.after) << r.name;
    EXPECT_EQ(printed, r.printed) << r.name;
    EXPECT_EQ(c->version, 12);
  }

  // Notes: waveform 6 loud notes get volume 5 below version 5; effect 1 at
  // volume 0 loses its effect up to version 10 unless a later feature shows.
  struct note_row {
    int32_t version, waveform, volume, effect;
    bool custom_elsewhere;
    int32_t volume_after, effect_after;
  };
  const note_row notes[] = {
      {4, 6, 7, 0, false, 5, 0},  {4, 6, 6, 0, false, 5, 0},  {4, 6, 4, 0, false, 4, 0}, {5, 6, 7, 0, false, 7, 0},
      {10, 0, 0, 1, false, 0, 0}, {11, 0, 0, 1, false, 0, 1}, {10, 0, 0, 1, true, 0, 1}, {10, 0, 3, 1, false, 3, 1},
  };
  for (const note_row &n : notes) {
    cart_ptr c(vell_create_orrery_cart());
    c->version = n.version;
    c->sfx[5].notes[3] = {12, n.waveform, n.volume, n.effect, 0};
    if (n.custom_elsewhere) c->sfx[9].notes[0].custom = 128;
    apply_legacy_changes(c.get());
    EXPECT_EQ(c->sfx[5].notes[3].volume, n.volume_after) << "version " << n.version << " volume " << n.volume;
    EXPECT_EQ(c->sfx[5].notes[3].effect, n.effect_after) << "version " << n.version << " effect " << n.effect;
  }

  // The prelude: 1270 characters in front of a program holding the marker
  // line, only below version 5 and only when both fit.
  ASSERT_EQ(strlen(k_legacy_prelude), 1270u);
  struct code_row {
    int32_t version;
    std::string code;
    bool injected;
  };
  const std::string marked = std::string("cls() ") + k_legacy_marker_line;
  for (const code_row &r :
       {code_row{4, marked, true}, code_row{5, marked, false}, code_row{4, "print(\"archeos\",98,34,6)", false},
        code_row{4, std::string(64300, ' ') + marked, false}}) {
    printed.clear();
    cart_ptr c(vell_create_orrery_cart());
    c->version = r.version;
    snprintf(c->code, k_cart_code_size, "%s", r.code.c_str());
    apply_legacy_changes(c.get());
    EXPECT_EQ(std::string(c->code), r.injected ? k_legacy_prelude + r.code : r.code) << r.version;
    EXPECT_EQ(printed,
              r.injected ? std::vector<std::string>{"legacy: 0.1.1 api injected"} : std::vector<std::string>{});
  }
  orrery_set_machine_hooks(orrery_machine_hooks{});
}

TEST_F(Workflow, LoadAppliesTheLegacyChangesToOldFiles) {
  at_console();
  // A version 4 note of waveform 6 at volume 7 ("0c67 0" as written).
  write_file(carts + "old.q7",
             "orrery cartridge // x\nversion 4\n__lua__\n-- old\n__sfx__\n00100000" + std::string("0c670") + "\n");
  EXPECT_EQ(rig_eval("return load('old')"), "true");
  EXPECT_EQ(orrery_working_cart()->sfx[0].notes[0].volume, 5);
  EXPECT_EQ(orrery_working_cart()->version, 12);
}

TEST_F(Workflow, CstoreAndReloadWithFilesAndTheStoredFileList) {
  write_file(carts + "src.q7", cart_file("") + "__gff__\n0102030405\n");
  write_file(home + "cstore/src.q7", cart_file("") + "__gff__\n0102030405\n");
  std::string raw(17152, '\0');
  raw[0x3000] = 0x2a;
  write_file(home + "cstore/mem.bin", raw);
  write_picture_cart(home + "cstore/pic.q7.png", "-- pic");
  struct row {
    const char *call, *result;
  };
  const row rows[] = {
      {"return reload(0x4300, 0x3001, 3, 'src.q7'), peek(0x4300), peek(0x4302)", "3,2,4"},
      {"return reload(0x4300, 0x3000, 1, '/mem.bin'), peek(0x4300)", "1,42"},
      {"return reload(0x4300, 0x3000, 1, 'pic.q7.png')", "1"},
      {"poke(0x4300, 7) return reload(0, 0, 0x4300, '__x'), peek(0x4300)", "0,7"},
      {"return reload(0x4300, 0, 1, 'missing.q7'), peek(0x4300)", "0,7"},
      {"poke(0x3010, 99) return cstore(0x3000, 0x3010, 1, 'out.q7')", "1"},
      {"return reload(0x4301, 0x3000, 1, 'out.q7'), peek(0x4301)", "1,99"},
      {"poke(0x3000, 5) return cstore(0x3001, 0x3000, 1, 'pic.q7.png'), reload(0x4302, 0x3001, 1, 'pic.q7.png'), "
       "peek(0x4302)",
       "1,1,5"},
      {"return cstore(0, 0, 1, '__x.q7'), cstore(0, 0, 1, '')", "0,0"},
  };
  for (const row &r : rows) EXPECT_EQ(rig_eval(r.call), r.result) << r.call;
  cart_ptr pic(load_cart_file(home + "cstore/pic.q7.png"));
  ASSERT_TRUE(pic);
  EXPECT_STREQ(pic->code, "-- pic") << "a stored picture keeps its code";
  EXPECT_EQ(pstate.busy_countdown, 30) << "a new partial cartridge runs the activity indicator";

  // 256 distinct names may be stored in a session; the 257th fails, while
  // names already stored still work.
  EXPECT_EQ(rig_eval("local n = 0 for i = 1, 253 do n = n + cstore(0, 0, 1, 'f'..i..'.q7') end return n"), "253");
  EXPECT_EQ(rig_eval("return cstore(0, 0, 1, 'last.q7'), cstore(0, 0, 1, 'one_more.q7'), cstore(0, 0, 1, 'f1.q7')"),
            "1,0,1");
  EXPECT_FALSE(path_exists(home + "cstore/one_more.q7"));

  // A running program lists the stored cartridge files.
  EXPECT_EQ(rig_eval("local t = ls() return #t, count(t), ls('x')"), "257,257");
}

TEST_F(Workflow, NamesThatLeaveTheirFolderAreRefused) {
  const std::string outside = home + "outside/";
  std::filesystem::create_directories(outside);
  write_file(outside + "target.q7", cart_file("-- outside"));
  write_file(carts + "game.q7", cart_file("-- game"));
  ASSERT_EQ(symlink(outside.c_str(), (home + "cstore/out").c_str()), 0);
  ASSERT_EQ(symlink((outside + "target.q7").c_str(), (home + "cstore/link.q7").c_str()), 0);
  ASSERT_EQ(symlink(outside.c_str(), (carts + "away").c_str()), 0);
  struct row {
    const char *call, *result;
  };
  const row rows[] = {
      {"return cstore(0, 0, 1, '../x.q7')", "0"},
      {"return cstore(0, 0, 1, 'a/../../x.q7')", "0"},
      {"return cstore(0, 0, 1, '/../x.q7')", "0"},
      {"return cstore(0, 0, 1, 'out/x.q7')", "0"},
      {"return cstore(0, 0, 1, 'link.q7')", "0"},
      {"return reload(0, 0, 1, '../carts/game.q7')", "0"},
      {"return reload(0, 0, 1, 'link.q7')", "0"},
      {"return cstore(0, 0, 1, 'sub/../fine.q7'), reload(0, 0, 1, 'fine.q7')", "1,1"},
  };
  for (const row &r : rows) EXPECT_EQ(rig_eval(r.call), r.result) << r.call;
  at_console();
  rig_eval("mkdir('../evil') mkdir('away/evil') mkdir('/good')");
  rig_eval("save('../x') save('away/x') save('/../y')");
  EXPECT_EQ(rig_eval("return load('../outside/target')"), "false");
  EXPECT_FALSE(path_exists(home + "x.q7"));
  EXPECT_FALSE(path_exists(home + "y.q7"));
  EXPECT_FALSE(path_exists(home + "evil"));
  EXPECT_FALSE(path_exists(outside + "evil"));
  EXPECT_FALSE(path_exists(outside + "x.q7"));
  EXPECT_FALSE(path_exists(home + "fine.q7"));
  EXPECT_TRUE(std::filesystem::is_directory(carts + "good"));
  EXPECT_TRUE(path_exists(home + "cstore/fine.q7"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(read_file(outside + "target.q7"), cart_file("-- outside")) << "the linked file is untouched";
  const std::vector<line> printed = take();
  ASSERT_EQ(printed.size(), 4u);
  EXPECT_EQ(printed[0], (line{"** failed to save **", 6}));
}

TEST_F(Workflow, CstoredDataReappearsAndTheHashIsTheSameFromTextAndPicture) {
  at_console();
  cart_ptr empty(vell_create_orrery_cart());
  ASSERT_EQ(vell_save_orrery_cart(empty.get(), (carts + "e.q7").c_str()), CART_SAVE_OK);
  ASSERT_EQ(save_orrery_cart_png(empty.get(), (carts + "e.q7.png").c_str()), CART_PNG_SAVE_OK);
  char direct[k_cart_hash_chars + 1];
  hash_cart(empty.get(), direct);
  for (const char *name : {"e.q7", "e.q7.png", "e.q7"}) {
    ASSERT_EQ(load_working_cart((carts + name).c_str()), 0) << name;
    EXPECT_STREQ(current_cart_hash(), direct) << name;
  }

  // cstore() keeps the data in the cartridge's own store file, laid over
  // the cartridge at its next load.
  write_file(carts + "keep.q7", cart_file("-- keep"));
  ASSERT_EQ(rig_eval("return load('keep')"), "true");
  const std::string hash = current_cart_hash();
  EXPECT_EQ(rig_eval("poke(0x3004, 77) sset(0, 127, 9) return cstore()"), "17152");
  EXPECT_TRUE(path_exists(get_sandboxed_cstore_filename(hash)));
  rig_eval("load('e') memset(0, 0, 0x4300)");
  ASSERT_EQ(rig_eval("return load('keep')"), "true");
  EXPECT_EQ(rig_eval("return peek(0x3004), sget(0, 127), mget(64, 63)"), "77,9,9");
  EXPECT_STREQ(current_cart_hash(), hash.c_str()) << "the hash is the file's, without the stored data";
}

TEST_F(Workflow, QuickSaveAndQuickLoad) {
  clear_working_file_name();
  EXPECT_EQ(do_quick_save(), 1);
  EXPECT_EQ(g_shown, (std::vector<std::string>{"*** no filename. not saved! ***"}));
  take();
  set_working_file_name(vell_prefix_with_appdata_path("bbs/carts/x.q7.png").c_str());
  EXPECT_EQ(do_quick_save(), 1);
  EXPECT_EQ(g_shown, (std::vector<std::string>{"* can not overwrite bbs cart! *"}));

  write_file(carts + "q.q7", cart_file("-- one"));
  ASSERT_EQ(load_working_cart((carts + "q").c_str()), 0);
  take();
  EXPECT_EQ(do_quick_load(), 1) << "nothing changed";
  EXPECT_TRUE(g_shown.empty());
  write_file(carts + "q.q7", cart_file("-- two"));
  EXPECT_EQ(do_quick_load(), 0);
  EXPECT_EQ(g_shown, (std::vector<std::string>{"loaded external changes"}));
  EXPECT_EQ(code(), "-- two");
  EXPECT_EQ(orrery_runner.code_tab[0]->text, "-- two") << "the code tabs follow";

  take();
  snprintf(orrery_working_cart()->code, k_cart_code_size, "-- three");
  EXPECT_EQ(do_quick_save(), 0);
  EXPECT_EQ(g_shown, (std::vector<std::string>{"saved q.q7\n"}));
  cart_ptr saved(load_cart_file(carts + "q.q7"));
  ASSERT_TRUE(saved);
  EXPECT_STREQ(saved->code, "-- three");
  EXPECT_EQ(do_quick_load(), 1) << "the saved file is the working cartridge";
}

TEST_F(Workflow, ClipboardRoundTrip) {
  at_console();
  write_file(carts + "c.q7", cart_file("-- clip me"));
  rig_eval("load('c')");
  orrery_working_cart()->label = vell_create_bitmap(128, 128, 8);
  orrery_working_cart()->label->line[5][5] = 8;
  take();
  rig_eval("save('@clip')");
  EXPECT_EQ(take(), (std::vector<line>{{"saved to clipboard", 6}}));
  const std::string text = vell_get_clipboard_text();
  EXPECT_EQ(text.substr(0, 6), "[cart]");
  EXPECT_EQ(text, read_file(home + "_clip.q7.png.hex"));

  EXPECT_EQ(rig_eval("return load('@clip.png')"), "true");
  EXPECT_EQ(take(), (std::vector<line>{{"loaded from clipboard\n(10 chars)", 6}}));
  EXPECT_EQ(code(), "-- clip me");
  ASSERT_TRUE(orrery_working_cart()->label);
  EXPECT_EQ(orrery_working_cart()->label->line[5][5], 8) << "the label travels with the picture";
  EXPECT_STREQ(working_file_name(), "");

  vell_set_clipboard_text("[cart]0102");
  EXPECT_EQ(rig_eval("return load('@clip')"), "false");
  pstate.program_started = 1;
  vell_set_clipboard_text(text.c_str());
  EXPECT_EQ(rig_eval("return load('@clip')"), "false") << "not from a running program";
}

TEST_F(Workflow, ConsoleFolderCommandsAndInfo) {
  at_console();
  std::filesystem::create_directories(carts + "games/old");
  struct row {
    const char *call;
    std::vector<line> printed;
    const char *folder;
  };
  const row rows[] = {
      {"cd()", {{"directory: /", 12}}, ""},
      {"cd('games')", {{"/games/", 12}}, "games/"},
      {"cd('old/..')", {{"/games/", 12}}, "games/"},
      {"cd('nowhere')", {{"directory not found", 7}}, "games/"},
      {"cd('../..')", {{"cd: failed", 7}}, "games/"},
      {"cd('/games/old')", {{"/games/old/", 12}}, "games/old/"},
      {"cd('/')", {{"/", 12}}, ""},
      {"cd('..')", {{"cd: failed", 7}}, ""},
      {"mkdir()", {{"mkdir [name]", 6}}, ""},
      {"export()", {{"please specify a file", 6}}, ""},
  };
  for (const row &r : rows) {
    rig_eval(r.call);
    EXPECT_EQ(take(), r.printed) << r.call;
    EXPECT_STREQ(orrery_current_folder(), r.folder) << r.call;
  }
  rig_eval("cd('games') mkdir('new') save('g')");
  EXPECT_TRUE(std::filesystem::is_directory(carts + "games/new"));
  EXPECT_TRUE(path_exists(carts + "games/g.q7"));
  take();
  rig_eval("export('x') import('y') import()");
  EXPECT_EQ(g_charges, (std::vector<int32_t>{4096, 4096, 4096}));

  snprintf(orrery_working_cart()->code, k_cart_code_size, "%s", upper_case_code(15361).c_str());
  split_code_to_tabs();
  rig_eval("info()");
  EXPECT_EQ(take(), (std::vector<line>{{"file: g.q7", 14},
                                       {"tokens:         1 /  8192", 6},
                                       {"chars:      15361 / 65535", 6},
                                       {"compressed: 15361 / 15360", 9}}));
}

TEST_F(Workflow, EmbeddedCartridgesLiveOnTheVirtualDisk) {
  // The boot mounted the resource file's cartridges; the head cartridge is
  // found by its name without any file on disk.
  orrery_mount_resource_carts();
  const std::string hash = get_embedded_cart_hash_for_filename("head");
  ASSERT_EQ(hash.size(), 40u);
  EXPECT_EQ(get_embedded_cart_filename_for_hash(hash), "head");
  EXPECT_EQ(rig_eval("return reload(0x4300, 0x3100, 4, 'head'), peek(0x4300) > 0"), "4,true")
      << "read from the virtual disk while it has no store file";
  EXPECT_EQ(rig_eval("poke(0x10, 0x5a) return cstore(0x3100, 0x10, 1, 'head'), reload(0x4300, 0x3100, 1, 'head'), "
                     "peek(0x4300)"),
            "1,1,90");
  EXPECT_TRUE(path_exists(get_sandboxed_cstore_filename(hash)));
  at_console();
  EXPECT_EQ(rig_eval("return load('head')"), "true");
  EXPECT_NE(code().find("head cartridge"), std::string::npos);
  EXPECT_EQ(orrery_peek(nullptr, orrery_working_cart(), 0x3100), 0x5a) << "with its stored data laid over";
}
