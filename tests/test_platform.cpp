// The platform's devices and files: keyboard tables, the key buffer, window
// and quit messages, game controllers, the audio device and its lock, and
// folder listings.
#include "support/test.h"

namespace {

constexpr int32_t k_z = 29, k_a = 4, k_lctrl = 224;

// The state of key after a poll at time t.
int32_t key_at(platform_rig &rig, uint32_t t, int32_t key) {
  rig.poll_at(t);
  return vell_get_key_state(key);
}

// Names listed with a pattern and mask, sorted, each with its size or '/'; "!" when the listing failed.
std::vector<std::string> list(const std::string &folder, const char *pattern, int32_t mask) {
  std::vector<std::string> out;
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

std::atomic<int> g_calls{0};
bool wait_for_calls(int more_than) {
  for (int i = 0; i < 500 && g_calls.load() <= more_than; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return g_calls.load() > more_than;
}

}  // namespace

TEST(KeyTables, HeldKeyRepeatsAfter500MsThenEvery80MsAndANewPressRestartsTheDelay) {
  platform_rig rig;
  g_rig_keys[k_z] = 1;
  // The press is seen at 1016; the repeat delay starts at the poll after it.
  std::vector<uint32_t> pressed;
  for (uint32_t t = 1016; t <= 1692; t += (t < 1600 ? 4 : 1))
    if (key_at(rig, t, k_z) == 3) pressed.push_back(t);
  EXPECT_EQ(pressed, (std::vector<uint32_t>{1016, 1520, 1600, 1680}));
  g_rig_keys[k_z] = 0;
  EXPECT_EQ(key_at(rig, 1700, k_z), 0);
  // A second key's press moves the shared deadline.
  g_rig_keys[k_z] = 1;
  rig.poll_at(2000);
  rig.poll_at(2010);  // repeat due at 2510
  g_rig_keys[k_a] = 1;
  EXPECT_EQ(key_at(rig, 2450, k_a), 3);
  rig.poll_at(2460);  // now due at 2960
  EXPECT_EQ(key_at(rig, 2520, k_z), 1) << "the held key waits for the new delay";
  EXPECT_EQ(key_at(rig, 2960, k_z) * 10 + vell_get_key_state(k_a), 33);
}

TEST(KeyBuffer, KeyCodesTextShortcutsAndItsLimit) {
  platform_rig rig;
  rig.poll_at(1000);
  for (int32_t sc : {40, 42, 41, k_a}) push_key_down(sc);  // Return, Backspace, Escape; a letter alone has no code
  push_text_input("q");
  push_text_input("\xc3\xa9");  // more than one byte: not a key
  rig.poll_at(1100);            // well after activation, so Tab counts
  push_key_down(43);
  rig.poll_at(1110);
  std::vector<int32_t> codes;
  while (vell_keypressed()) codes.push_back(vell_readkey());
  EXPECT_EQ(codes, (std::vector<int32_t>{13, 8, 27, 'q', 9}));
  EXPECT_EQ(vell_readkey(), 0) << "no window: an empty buffer returns at once";
  g_rig_keys[k_lctrl] = 1;
  rig.poll_at(1120);
  push_key_down(k_a);
  push_key_down(30);  // Ctrl+1 toggles the frame-rate display instead
  rig.poll_at(1130);
  EXPECT_EQ(vell_readkey() * 10 + vell_config().show_fps, 'a' * 10 + 1);
  g_rig_keys[k_lctrl] = 0;
  // The buffer holds 32.
  for (int i = 0; i < 40; i++) push_key_down(40);
  rig.poll_at(1200);
  int n = 0;
  for (; vell_keypressed(); n++) vell_readkey();
  EXPECT_EQ(n, 32);
}

TEST(SystemMessages, WindowCloseWheelQuitAndAltF4) {
  platform_rig rig;
  push_mouse_wheel(0, 2);
  push_mouse_wheel(1, -5);
  push_window_close();
  rig.poll_at(1000);
  EXPECT_EQ(vell_state.quit, 1);
  EXPECT_NE(rig.home.log().find("window closed (7)"), std::string::npos);
  int32_t x[2], y[2];
  vell_take_mouse_wheel(&x[0], &y[0]);
  vell_take_mouse_wheel(&x[1], &y[1]);
  EXPECT_EQ((std::vector<int32_t>{x[0], y[0], x[1], y[1]}), (std::vector<int32_t>{1, -3, 0, 0}));
  // The quit request and Alt+F4 end the process after the exit sequence.
  vell_state.initialised = 1;  // so that the exit sequence runs and writes config.txt
  const std::string config = rig.home.path + "config.txt";
  for (bool alt_f4 : {false, true}) {
    unlink(config.c_str());
    g_rig_keys[226] = alt_f4;  // Left Alt
    EXPECT_EXIT((rig.poll_at(1000), alt_f4 ? push_key_down(61) : push_quit(), rig.poll_at(1010)),
                ::testing::ExitedWithCode(0), "");
    EXPECT_NE(read_file(config).find("// Configuration for"), std::string::npos) << alt_f4;
  }
  vell_state.initialised = 0;
}

TEST(AudioDevice, OpensOnlyForSixteenVoicesWithAWindowAndRunsTheMixerOutsideTheLock) {
  platform_rig rig;
  vell_config_set(&vell_config_t::mix_buffer_size, 512);
  static std::atomic<int> last_count{0};
  const vell_audio_fill fill = [](int16_t *samples, int count) {
    std::fill(samples, samples + count, 0);
    last_count = count;
    g_calls++;
  };
  for (auto [headless, voices] : {std::pair{1, 16}, std::pair{0, 4}}) {
    vell_audio_out_use(headless ? vell_headless_audio() : vell_sdl_audio());
    vell_sound_init_plat(voices, fill);
    EXPECT_EQ(vell_sound_running(), 0) << "headless, or not the 16-voice sound system";
  }
  vell_sound_init_plat(16, fill);
  ASSERT_EQ(vell_sound_running(), 1);
  EXPECT_NE(rig.home.log().find("vell_sound_init\nSDL_INIT_AUDIO ok\nSDL_OpenAudio ok\n"), std::string::npos);
  ASSERT_TRUE(wait_for_calls(0));
  EXPECT_EQ(last_count.load(), 512);
  // Counted lock: the callback stays out until the last unlock.
  vell_lock_audio_plat();
  vell_lock_audio_plat();
  const int before = g_calls.load();
  vell_unlock_audio_plat();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(g_calls.load(), before) << "still locked once";
  vell_unlock_audio_plat();
  EXPECT_TRUE(wait_for_calls(before));
  vell_unlock_audio_plat();  // an extra unlock is ignored
  vell_sound_exit_plat();
  vell_audio_out_use(nullptr);
}

TEST(FolderListing, PatternsKeepSuffixesWithoutCaseAndMasksSplitFoldersFromFiles) {
  temp_home home;
  const std::string d = home.path + "list/";
  vell_make_directories((d + "sub").c_str());
  vell_make_directory((d + "games.q7").c_str());
  for (const char *f : {"a.q7", "B.Q7", "c.q7.png", "notes.txt"}) write_file(d + f, std::string(f).substr(0, 2));
  // The complement of the folder bit keeps files only; a pattern without '*' keeps all.
  const std::tuple<std::string, const char *, int32_t, std::vector<std::string>> cases[] = {
      {d, "*.q7", -1, {"B.Q7:2", "a.q7:2", "games.q7/"}},
      {d, "*.q7", 0x4000, {"games.q7/"}},
      {d, "*.q7", ~0x4000, {"B.Q7:2", "a.q7:2"}},
      {d, "", 0x4000, {"../", "./", "games.q7/", "sub/"}},
      {d, "all", ~0x4000, {"B.Q7:2", "a.q7:2", "c.q7.png:2", "notes.txt:2"}},
      {d + "missing", "*", -1, {"!"}},
      {d, "*.nothing", -1, {"!"}}};
  for (const auto &[folder, pattern, mask, want] : cases)
    EXPECT_EQ(list(folder, pattern, mask), want) << pattern << " " << mask;
  write_file(home.path + "f.txt", "1");
  EXPECT_EQ(vell_file_exists((home.path + "f.txt").c_str()) + vell_directory_exists(home.path.c_str()), 2);
  EXPECT_EQ(vell_file_exists(home.path.c_str()) + vell_directory_exists((home.path + "f.txt").c_str()), 0);
  EXPECT_EQ(vell_make_directories((home.path + "a/b/c").c_str()), 0);
  EXPECT_EQ(vell_make_directory((home.path + "f.txt/x").c_str()), 1);
}
