// The load and save workflow through the console commands a program calls:
// finding files, saving with backups and size checks, legacy changes,
// cstore and reload with files, path escapes, quick save and load, the
// clipboard, the embedded cartridges, and a cartridge named on the command
// line (in exec mode and without it).
#include "support/test.h"

namespace {

using lines = std::vector<std::string>;
lines g_printed;  // "colour:text" as printed on the console
lines g_shown;    // message bar texts
std::vector<int32_t> g_charges;

// Records what the machine layer prints and shows.
void record_console() {
  orrery_machine_hooks hooks = orrery_machine_hook();
  hooks.print_col = [](const char *text, int32_t colour) { g_printed.push_back(std::to_string(colour) + ":" + text); };
  hooks.show_message = [](const char *text, int32_t) { g_shown.push_back(text); };
  hooks.working_cart_loaded = split_code_to_tabs;
  orrery_machine_hooks_use(hooks);
}

// Printing and showing go nowhere again; the other slots stay.
void stop_recording_console() {
  orrery_machine_hooks hooks = orrery_machine_hook();
  hooks.print_col = nullptr;
  hooks.show_message = nullptr;
  orrery_machine_hooks_use(hooks);
}

// The console in-process, with a program that has run once.
class Workflow : public ::testing::Test {
 protected:
  runner_rig rig;
  std::string home = rig.home.path, carts = home + "carts/";

  void SetUp() override {
    rig.run("function _update() end");
    rig.frame();
    record_console();
    clear_stored_files();
    clear_embedded_carts();
    orrery_set_partial_cart_name("");
    watch_cpu_charges([](int32_t cycles, int) { g_charges.push_back(cycles); });
    take();
  }
  void TearDown() override { watch_cpu_charges(nullptr); }

  // As at a console that has run no program: the file commands print.
  void at_console() { pstate.program_started = 0; }
  // What was printed since the last take; what was shown and charged is forgotten too.
  lines take() {
    lines out;
    out.swap(g_printed);
    g_shown.clear();
    g_charges.clear();
    return out;
  }
  std::string eval(const std::string &code) { return rig_eval(code.c_str()); }
  std::string code() const { return orrery_working_cart()->code; }
  void set_code(const std::string &text) {
    snprintf(orrery_working_cart()->code, k_cart_code_size, "%s", text.c_str());
    split_code_to_tabs();
  }
};

void write_picture_cart(const std::string &path, const std::string &code) {
  cart_ptr cart(vell_create_orrery_cart());
  snprintf(cart->code, k_cart_code_size, "%s", code.c_str());
  ASSERT_EQ(save_orrery_cart_png(cart.get(), path.c_str()), CART_PNG_SAVE_OK) << path;
}

}  // namespace

TEST_F(Workflow, LoadFindsTheFileInOrderTryingPicturesFirst) {
  at_console();
  // Text files, picture files, the name loaded, the file it finds.
  const std::tuple<lines, lines, const char *, const char *> rows[] = {
      {{"game.q7"}, {"game.q7.png", "game.png"}, "game", "game.q7"},
      {{}, {"game.q7.png", "game.png"}, "game", "game.q7.png"},
      {{}, {"game.png"}, "game", "game.png"},
      {{}, {"game.q7"}, "game", "game.q7"},  // a picture under a text name
      {{"x.q7"}, {"x.q7.png"}, "x.png", "x.q7.png"},
      {{"odd.txt.q7"}, {}, "odd.txt", "odd.txt.q7"},
      {{"dir/y.q7"}, {}, "/dir/y", "dir/y.q7"}};
  for (const auto &[texts, pictures, name, found] : rows) {
    std::filesystem::remove_all(carts);
    std::filesystem::create_directories(carts + "dir");
    for (const std::string &f : texts) write_file(carts + f, cart_file("-- text " + f));
    for (const std::string &f : pictures) write_picture_cart(carts + f, "-- picture " + f);
    take();
    EXPECT_EQ(eval(std::string("return load('") + name + "')"), "true") << name;
    EXPECT_EQ(code().substr(code().rfind(' ') + 1), found) << name;
    const std::string file = std::string(found).substr(std::string(found).rfind('/') + 1);
    EXPECT_EQ(take(), lines{"6:loaded " + file + " (" + std::to_string(code().size()) + " chars)"}) << name;
  }
  for (const char *name : {"#game", "__game", "nothing", "../carts/game"}) {
    EXPECT_EQ(eval(std::string("return load('") + name + "')"), "false") << name;
    EXPECT_EQ(take(), lines{"6:could not load"}) << name;
  }
  write_file(carts + "new.q7", "orrery cartridge // x\nversion 13\n__lua__\n");
  EXPECT_EQ(eval("return load('new'), load('nothing'), load()"), "false,false");
  EXPECT_EQ(take(), (lines{"6:could not load: future version", "6:could not load"}))
      << "the status is cleared once reported";

  // An old file is brought up to date: a version 4 note of waveform 6 at
  // volume 7 ("0c67 0" as written) plays at volume 5.
  write_file(carts + "old.q7", "orrery cartridge // x\nversion 4\n__lua__\n__sfx__\n001000000c670\n");
  EXPECT_EQ(eval("return load('old')"), "true");
  EXPECT_EQ(orrery_working_cart()->sfx[0].notes[0].volume * 100 + orrery_working_cart()->version, 512);
}

TEST_F(Workflow, LoadResetsMemoryChargesAndRunsTheNewCartridgeFromAProgram) {
  write_file(carts + "next.q7", cart_file("nxt=1 function _update() end") + "__gff__\n07\n");
  eval("poke(0x3000, 9)");
  take();
  EXPECT_EQ(eval("return load('next', 'back to menu', 'p1')"), "true");
  EXPECT_EQ(pstate.cart ? orrery_peek(&pstate, pstate.cart, 0x3000) : -1, 0x07)
      << "memory comes from the new cartridge";
  EXPECT_EQ(g_charges, (std::vector<int32_t>{4194304}));
  EXPECT_TRUE(take().empty()) << "nothing is printed while a program runs";
  EXPECT_EQ(pstate.pending_request * 100 + pstate.busy_countdown, REQ_RUN * 100 + 30);
  EXPECT_STREQ(get_run_chain_label(), "back to menu");
  for (int i = 0; i < 40; i++) rig.frame();
  EXPECT_EQ(rig.num("nxt"), 1);
  EXPECT_EQ(eval("return stat(6)"), "p1") << "the parameters come with the load";
  // A failed load costs nothing and starts nothing.
  take();
  EXPECT_EQ(eval("return load('missing')"), "false");
  EXPECT_TRUE(g_charges.empty() && take().empty());
}

TEST_F(Workflow, SaveNamesBackupsAndSizeLimits) {
  at_console();
  set_code("-- saved");
  take();
  const lines blank = {"9:warning: label is blank", "10:run cart and use f7 to capture"};
  // The name saved, the file written, whether it is a picture.
  const std::tuple<const char *, const char *, bool> rows[] = {
      {"x.png", "x.q7.png", true}, {"x", "x.q7", false}, {"/y.q7.png", "y.q7.png", true}, {"z.txt", "z.txt.q7", false}};
  for (const auto &[name, file, picture] : rows) {
    eval(std::string("save('") + name + "')");
    lines expected = picture ? blank : lines{};
    expected.push_back(std::string("6:saved ") + file);
    EXPECT_EQ(take(), expected) << name;
    cart_ptr back(load_cart_file(carts + file));
    EXPECT_TRUE(back && std::string(back->code) == "-- saved") << file;
    EXPECT_EQ(std::string(working_file_name()), carts + file);
  }
  EXPECT_FALSE(path_exists(carts + "x.png"));

  // Saving over another file keeps a copy of it in backup/; the working file itself is not backed up.
  write_file(carts + "old.q7", cart_file("-- old"));
  eval("save('old')");
  EXPECT_EQ(g_shown, lines{"** overwriting; saved backup **"});
  EXPECT_EQ(read_file(home + "backup/old.q7"), cart_file("-- old"));
  take();
  eval("save('old')");
  EXPECT_TRUE(g_shown.empty());
  take();
  eval("save() save('') save('" + std::string(512, 'a') + "')");
  EXPECT_EQ(take(), (lines{"6:please specify filename", "6:please specify filename", "6:filename too long"}));

  // 15360 bytes of stored code fit a picture, 15361 do not; text saves warn.
  for (int32_t size : {15360, 15361}) {
    set_code(noise_code(size));
    ASSERT_EQ(cart_code_stored_size(orrery_working_cart()), size);
    std::filesystem::remove(carts + "big.q7.png");
    take();
    eval("save('big.png') save('big')");
    const std::string sizes = "6:" + std::to_string(size) + " / 15360 bytes";
    lines expected = blank;
    expected.insert(expected.end(), {"6:saved big.q7.png", "6:saved big.q7"});
    if (size > 15360)
      expected = {"8:compressed code size too large\n",  sizes, "9:warning: compressed code too big",
                  "9:to be exported or saved as png", sizes, "6:(saving .q7 anyway)\n",
                  "6:saved big.q7"};
    EXPECT_EQ(take(), expected) << size;
    EXPECT_EQ(path_exists(carts + "big.q7.png"), size == 15360);
  }
  // A running program cannot save (outside exec mode).
  pstate.program_started = 1;
  eval("save('quiet')");
  EXPECT_FALSE(path_exists(carts + "quiet.q7"));
}

TEST(Legacy, OldCartridgesAreBroughtUpToDate) {
  record_console();
  // Patterns of sound 1 (speed 8), 2 (speed 16) and 3 (speed 32, looping):
  // a shorter first column is swapped with the longest.
  const std::tuple<int32_t, std::vector<int32_t>, std::vector<int32_t>, lines> patterns[] = {
      {4, {1, 0x41, 2, 0x43}, {2, 0x41, 1, 0x43}, {"6:legacy: pat 0 swap chan: 0 2"}},
      {4, {3, 2, 2, 0x44}, {3, 2, 2, 0x44}, {}},  // the longest column loops
      {4, {1, 0x42, 0x43, 0x44}, {1, 0x42, 0x43, 0x44}, {}},  // off columns do not count
      {5, {1, 0x41, 2, 0x43}, {1, 0x41, 2, 0x43}, {}}};
  for (const auto &[version, before, after, printed] : patterns) {
    g_printed.clear();
    cart_ptr c(vell_create_orrery_cart());
    c->version = version;
    c->sfx[1].speed = 8, c->sfx[2].speed = 16, c->sfx[3].speed = 32, c->sfx[3].loop_end = 8;
    std::copy(before.begin(), before.end(), c->music[0].channel);
    apply_legacy_changes(c.get());
    EXPECT_EQ(std::vector<int32_t>(c->music[0].channel, c->music[0].channel + 4), after) << version;
    EXPECT_EQ(g_printed, printed);
    EXPECT_EQ(c->version, 12);
  }
  // Notes: waveform 6 loud notes get volume 5 below version 5; effect 1 at
  // volume 0 loses its effect up to version 10 unless a custom instrument
  // elsewhere shows a later feature. Version, waveform, volume, effect,
  // custom elsewhere, then volume and effect after.
  const int32_t notes[][7] = {{4, 6, 7, 0, 0, 5, 0},  {4, 6, 6, 0, 0, 5, 0},  {4, 6, 4, 0, 0, 4, 0},
                              {5, 6, 7, 0, 0, 7, 0},  {10, 0, 0, 1, 0, 0, 0}, {11, 0, 0, 1, 0, 0, 1},
                              {10, 0, 0, 1, 1, 0, 1}, {10, 0, 3, 1, 0, 3, 1}};
  for (const int32_t *n : notes) {
    cart_ptr c(vell_create_orrery_cart());
    c->version = n[0];
    c->sfx[5].notes[3] = {12, n[1], n[2], n[3], 0};
    if (n[4]) c->sfx[9].notes[0].custom = 128;
    apply_legacy_changes(c.get());
    EXPECT_EQ(c->sfx[5].notes[3].volume * 10 + c->sfx[5].notes[3].effect, n[5] * 10 + n[6])
        << "version " << n[0] << " volume " << n[2] << " effect " << n[3];
  }
  // The prelude: 1270 characters in front of a program holding the marker
  // line, only below version 5 and only when both fit.
  ASSERT_EQ(strlen(k_legacy_prelude), 1270u);
  const std::string marked = std::string("cls() ") + k_legacy_marker_line;
  const std::tuple<int32_t, std::string, bool> programs[] = {{4, marked, true},
                                                             {5, marked, false},
                                                             {4, "print(\"archeos\",98,34,6)", false},
                                                             {4, std::string(64300, ' ') + marked, false}};
  for (const auto &[version, program, injected] : programs) {
    g_printed.clear();
    cart_ptr c(vell_create_orrery_cart());
    c->version = version;
    snprintf(c->code, k_cart_code_size, "%s", program.c_str());
    apply_legacy_changes(c.get());
    EXPECT_EQ(std::string(c->code), injected ? k_legacy_prelude + program : program) << version;
    EXPECT_EQ(g_printed, injected ? lines{"6:legacy: 0.1.1 api injected"} : lines{});
  }
  stop_recording_console();
}

TEST_F(Workflow, CstoreAndReloadWithFilesAndTheStoredFileList) {
  write_file(carts + "src.q7", cart_file("") + "__gff__\n0102030405\n");
  write_file(home + "cstore/src.q7", cart_file("") + "__gff__\n0102030405\n");
  std::string raw(17152, '\0');
  raw[0x3000] = 0x2a;
  write_file(home + "cstore/mem.bin", raw);
  write_picture_cart(home + "cstore/pic.q7.png", "-- pic");
  // A call and its results.
  const std::pair<const char *, const char *> rows[] = {
      {"return reload(0x4300, 0x3001, 3, 'src.q7'), peek(0x4300), peek(0x4302)", "3,2,4"},
      {"return reload(0x4300, 0x3000, 1, '/mem.bin'), peek(0x4300)", "1,42"},
      {"return reload(0x4300, 0x3000, 1, 'pic.q7.png')", "1"},
      {"poke(0x4300, 7) return reload(0, 0, 0x4300, '__x'), peek(0x4300)", "0,7"},
      {"return reload(0x4300, 0, 1, 'missing.q7'), peek(0x4300)", "0,7"},
      {"poke(0x3010, 99) return cstore(0x3000, 0x3010, 1, 'out.q7')", "1"},
      {"return reload(0x4301, 0x3000, 1, 'out.q7'), peek(0x4301)", "1,99"},
      {"poke(0x3000, 5) return cstore(0x3001, 0x3000, 1, 'pic.q7.png'), "
       "reload(0x4302, 0x3001, 1, 'pic.q7.png'), peek(0x4302)",
       "1,1,5"},
      {"return cstore(0, 0, 1, '__x.q7'), cstore(0, 0, 1, '')", "0,0"}};
  for (const auto &[call, result] : rows) EXPECT_EQ(eval(call), result) << call;
  cart_ptr pic(load_cart_file(home + "cstore/pic.q7.png"));
  EXPECT_TRUE(pic && std::string(pic->code) == "-- pic") << "a stored picture keeps its code";
  EXPECT_EQ(pstate.busy_countdown, 30) << "a new partial cartridge runs the activity indicator";

  // 256 distinct names may be stored in a session; the 257th fails, while
  // names already stored still work.
  EXPECT_EQ(eval("local n = 0 for i = 1, 253 do n = n + cstore(0, 0, 1, 'f'..i..'.q7') end return n"), "253");
  EXPECT_EQ(eval("return cstore(0, 0, 1, 'last.q7'), cstore(0, 0, 1, 'one_more.q7'), cstore(0, 0, 1, 'f1.q7')"),
            "1,0,1");
  EXPECT_FALSE(path_exists(home + "cstore/one_more.q7"));
  EXPECT_EQ(eval("local t = ls() return #t, count(t), ls('x')"), "257,257") << "a program lists the stored files";
}

TEST_F(Workflow, NamesThatLeaveTheirFolderAreRefused) {
  const std::string outside = home + "outside/";
  std::filesystem::create_directories(outside);
  write_file(outside + "target.q7", cart_file("-- outside"));
  write_file(carts + "game.q7", cart_file("-- game"));
  ASSERT_EQ(symlink(outside.c_str(), (home + "cstore/out").c_str()) +
                symlink((outside + "target.q7").c_str(), (home + "cstore/link.q7").c_str()) +
                symlink(outside.c_str(), (carts + "away").c_str()),
            0);
  const std::pair<const char *, const char *> rows[] = {
      {"return cstore(0, 0, 1, '../x.q7')", "0"},
      {"return cstore(0, 0, 1, 'a/../../x.q7')", "0"},
      {"return cstore(0, 0, 1, '/../x.q7')", "0"},
      {"return cstore(0, 0, 1, 'out/x.q7')", "0"},
      {"return cstore(0, 0, 1, 'link.q7')", "0"},
      {"return reload(0, 0, 1, '../carts/game.q7')", "0"},
      {"return reload(0, 0, 1, 'link.q7')", "0"},
      {"return cstore(0, 0, 1, 'sub/../fine.q7'), reload(0, 0, 1, 'fine.q7')", "1,1"}};
  for (const auto &[call, result] : rows) EXPECT_EQ(eval(call), result) << call;
  at_console();
  eval("mkdir('../evil') mkdir('away/evil') mkdir('/good') save('../x') save('away/x') save('/../y')");
  EXPECT_EQ(eval("return load('../outside/target')"), "false");
  for (const std::string &f : {home + "x.q7", home + "y.q7", home + "evil", outside + "evil", home + "fine.q7"})
    EXPECT_FALSE(path_exists(f)) << f;
  EXPECT_TRUE(std::filesystem::is_directory(carts + "good"));
  EXPECT_TRUE(path_exists(home + "cstore/fine.q7"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(read_file(outside + "target.q7"), cart_file("-- outside")) << "the linked file is untouched";
  const lines printed = take();
  EXPECT_EQ(printed.size(), 4u);
  EXPECT_EQ(printed.at(0), "6:** failed to save **");
}

// cstore() keeps the data in the cartridge's own store file, laid over the
// cartridge at its next load; the hash stays the file's.
TEST_F(Workflow, CstoredDataReappearsAtTheNextLoad) {
  at_console();
  write_file(carts + "e.q7", cart_file(""));
  write_file(carts + "keep.q7", cart_file("-- keep"));
  ASSERT_EQ(eval("return load('keep')"), "true");
  const std::string hash = current_cart_hash();
  EXPECT_EQ(eval("poke(0x3004, 77) sset(0, 127, 9) return cstore()"), "17152");
  EXPECT_TRUE(path_exists(get_sandboxed_cstore_filename(hash)));
  eval("load('e') memset(0, 0, 0x4300)");
  ASSERT_EQ(eval("return load('keep')"), "true");
  EXPECT_EQ(eval("return peek(0x3004), sget(0, 127), mget(64, 63)"), "77,9,9");
  EXPECT_STREQ(current_cart_hash(), hash.c_str()) << "the hash is the file's, without the stored data";
}

TEST_F(Workflow, QuickSaveAndQuickLoad) {
  clear_working_file_name();
  EXPECT_EQ(do_quick_save(), 1);
  set_working_file_name(vell_prefix_with_appdata_path("bbs/carts/x.q7.png").c_str());
  EXPECT_EQ(do_quick_save(), 1);
  EXPECT_EQ(g_shown, (lines{"*** no filename. not saved! ***", "* can not overwrite bbs cart! *"}));
  write_file(carts + "q.q7", cart_file("-- one"));
  ASSERT_EQ(load_working_cart((carts + "q").c_str()), 0);
  take();
  EXPECT_EQ(do_quick_load(), 1) << "nothing changed";
  write_file(carts + "q.q7", cart_file("-- two"));
  EXPECT_EQ(do_quick_load(), 0);
  EXPECT_EQ(orrery_runner().code_tab[0]->text, "-- two") << "the code tabs follow";
  snprintf(orrery_working_cart()->code, k_cart_code_size, "-- three");
  EXPECT_EQ(do_quick_save(), 0);
  EXPECT_EQ(g_shown, (lines{"loaded external changes", "saved q.q7\n"}));
  cart_ptr saved(load_cart_file(carts + "q.q7"));
  EXPECT_TRUE(saved && std::string(saved->code) == "-- three");
  EXPECT_EQ(do_quick_load(), 1) << "the saved file is the working cartridge";
}

TEST_F(Workflow, ClipboardRoundTrip) {
  at_console();
  write_file(carts + "c.q7", cart_file("-- clip me"));
  eval("load('c')");
  orrery_working_cart()->label = vell_create_bitmap(128, 128, 8);
  orrery_working_cart()->label->line[5][5] = 8;
  take();
  eval("save('@clip')");
  const std::string text = vell_get_clipboard_text();
  EXPECT_EQ(text.substr(0, 6), "[cart]");
  EXPECT_EQ(text, read_file(home + "_clip.q7.png.hex"));
  EXPECT_EQ(eval("return load('@clip.png')"), "true");
  EXPECT_EQ(take(), (lines{"6:saved to clipboard", "6:loaded from clipboard\n(10 chars)"}));
  EXPECT_EQ(code(), "-- clip me");
  EXPECT_EQ(orrery_working_cart()->label ? orrery_working_cart()->label->line[5][5] : -1, 8)
      << "the label travels with the picture";
  EXPECT_STREQ(working_file_name(), "");
  vell_set_clipboard_text("[cart]0102");
  EXPECT_EQ(eval("return load('@clip')"), "false");
  pstate.program_started = 1;
  vell_set_clipboard_text(text.c_str());
  EXPECT_EQ(eval("return load('@clip')"), "false") << "not from a running program";
}

TEST_F(Workflow, ConsoleFolderCommandsAndInfo) {
  at_console();
  std::filesystem::create_directories(carts + "games/old");
  // A call, what it prints, the current folder after it.
  const std::tuple<const char *, const char *, const char *> rows[] = {
      {"cd()", "12:directory: /", ""},
      {"cd('games')", "12:/games/", "games/"},
      {"cd('old/..')", "12:/games/", "games/"},
      {"cd('nowhere')", "7:directory not found", "games/"},
      {"cd('../..')", "7:cd: failed", "games/"},
      {"cd('/games/old')", "12:/games/old/", "games/old/"},
      {"cd('/')", "12:/", ""},
      {"cd('..')", "7:cd: failed", ""},
      {"mkdir()", "6:mkdir [name]", ""},
      {"export()", "6:please specify a file", ""}};
  for (const auto &[call, printed, folder] : rows) {
    eval(call);
    EXPECT_EQ(take(), lines{printed}) << call;
    EXPECT_STREQ(orrery_current_folder(), folder) << call;
  }
  eval("cd('games') mkdir('new') save('g')");
  EXPECT_TRUE(std::filesystem::is_directory(carts + "games/new"));
  EXPECT_TRUE(path_exists(carts + "games/g.q7"));
  take();
  eval("export('x') import('y') import()");
  EXPECT_EQ(g_charges, (std::vector<int32_t>{4096, 4096, 4096}));
  set_code(noise_code(15361));
  eval("info()");
  EXPECT_EQ(take(), (lines{"14:file: g.q7", "6:tokens:         1 /  8192", "6:chars:      15361 / 65535",
                           "9:compressed: 15361 / 15360"}));
}

TEST_F(Workflow, EmbeddedCartridgesLiveOnTheVirtualDisk) {
  // The boot mounted the resource file's cartridges; the head cartridge is
  // found by its name without any file on disk.
  orrery_mount_resource_carts();
  const std::string hash = get_embedded_cart_hash_for_filename("head");
  ASSERT_EQ(hash.size(), 40u);
  EXPECT_EQ(get_embedded_cart_filename_for_hash(hash), "head");
  EXPECT_EQ(eval("return reload(0x4300, 0x3100, 4, 'head'), peek(0x4300) > 0"), "4,true")
      << "read from the virtual disk while it has no store file";
  EXPECT_EQ(eval("poke(0x10, 0x5a) return cstore(0x3100, 0x10, 1, 'head'), reload(0x4300, 0x3100, 1, 'head'), "
                 "peek(0x4300)"),
            "1,1,90");
  EXPECT_TRUE(path_exists(get_sandboxed_cstore_filename(hash)));
  at_console();
  EXPECT_EQ(eval("return load('head')"), "true");
  EXPECT_NE(code().find("head cartridge"), std::string::npos);
  EXPECT_EQ(orrery_peek(nullptr, orrery_working_cart(), 0x3100), 0x5a) << "with its stored data laid over";
}

TEST(StartCart, ExecModeSavesIntoTheRootFolderRunsPicturesAndPreparesEveryLoad) {
  temp_folder home;
  const std::string code = "-- saver\nsave(\"a.q7.png\") save(\"b.q7\") assert(false, \"ran\")";
  exec_result r = exec_cart(home, code);
  EXPECT_EQ(r.exit_code, 0);
  for (const char *file : {"carts/b.q7", "carts/a.q7.png"}) {
    cart_ptr saved(load_cart_file(home / file));
    EXPECT_TRUE(saved && saved->code == code) << file;
  }
  // The picture runs by its name in the root folder, with or without the
  // extension; nothing else could have printed "ran" now.
  std::filesystem::remove(home / "game.q7");
  std::filesystem::remove(home / "carts/b.q7");
  for (const char *name : {"a.q7.png", "a"})
    EXPECT_NE(run_process({ORRERY_BINARY, "-home", home.path, "-x", name}).output.find("** ran\n"), std::string::npos)
        << name;

  // Map rows 32-63 share memory with the lower sprite sheet: a row stored
  // in the map section is what the program reads.
  std::string map = "__map__\n";
  for (int y = 0; y < 33; y++) map += (y == 32 ? "21" : "00") + std::string(254, '0') + "\n";
  write_file(home / "map.q7", cart_file("assert(false, 'cell ' .. mget(0, 32) .. ' ' .. sget(0, 64))") + map);
  EXPECT_NE(run_process({ORRERY_BINARY, "-home", home.path, "-x", home / "map.q7"}).output.find("** cell 33 1\n"),
            std::string::npos);
  // Data stored with cstore() is there at the next run of the cartridge.
  const std::string store = "if fget(1) == 42 then assert(false, 'found') end fset(1, 42) cstore() assert(false, 'no')";
  exec_cart(home, store);
  const lines second = exec_cart(home, store).lines;
  EXPECT_GT(std::count(second.begin(), second.end(), "found"), 0);
}

TEST(StartCart, ANamedCartridgeRunsWithOrWithoutRunAndOneThatCannotBeLoadedIsNamed) {
  temp_folder dir;
  write_file(dir / "game.q7", cart_file("game = 1 function _update() end"));
  // Arguments, whether the game is the working cartridge and runs (else the
  // head cartridge runs), what the console prints about a failed load.
  const std::tuple<lines, bool, std::string> rows[] = {
      {{"-windowed", "1", dir / "game.q7", "-run"}, true, ""},
      {{dir / "game"}, true, ""},
      {{dir / "missing.q7", "-run"}, false, "6:could not load missing.q7"}};
  for (const auto &[args, runs, printed] : rows) {
    SCOPED_TRACE(args[args.size() > 2 ? 2 : 0]);
    runner_rig rig(args);
    g_printed.clear();
    g_shown.clear();
    record_console();
    for (int i = 0; i < 130; i++) rig.frame();
    EXPECT_EQ(pstate.mode, MODE_RUNNING);
    const std::string code = orrery_working_cart()->code;
    EXPECT_NE(code.find(runs ? "game = 1" : "head cartridge"), std::string::npos);
    EXPECT_EQ(rig.num("game") == 1, runs);
    const auto failures = std::count_if(g_printed.begin(), g_printed.end(),
                                        [](const std::string &l) { return l.find("could not load") != l.npos; });
    EXPECT_EQ(failures, printed.empty() ? 0 : 1);
    EXPECT_EQ(std::count(g_printed.begin(), g_printed.end(), printed), printed.empty() ? 0 : 1);
    EXPECT_EQ(std::count(g_shown.begin(), g_shown.end(), "could not load missing.q7"), printed.empty() ? 0 : 1)
        << "in the message bar too";
    if (runs) {
      // A reboot boots the head cartridge, as a start without a name.
      pstate.pending_request = REQ_REBOOT;
      for (int i = 0; i < 130; i++) rig.frame();
      EXPECT_EQ(pstate.mode, MODE_RUNNING);
      EXPECT_NE(std::string(orrery_working_cart()->code).find("head cartridge"), std::string::npos);
    }
    stop_recording_console();
  }
}
