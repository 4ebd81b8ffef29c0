// The platform's backends: empty slots get defaults, the headless start
// needs no display, a table installed before the start survives it, and the
// WAV output writes what it pulls from the mixer.
#include "support/test.h"

namespace {

// Blocks the WAV output's fill function was called with.
std::vector<int> g_blocks;

void counting_fill(int16_t *samples, int count) {
  g_blocks.push_back(count);
  for (int i = 0; i < count; i++) samples[i] = static_cast<int16_t>(i - 7);
}

uint32_t le32(const std::string &s, size_t at) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; k--) v = v << 8 | static_cast<uint8_t>(s[at + k]);
  return v;
}

}  // namespace

TEST(Backends, EmptyTablesGetDefaultsSoEveryServiceAnswers) {
  temp_home home;
  const vell_video_out video = {};
  const vell_input_devices input = {};
  const vell_audio_out audio = {};
  const vell_clipboard_store clipboard = {};
  const vell_clock_source clock = {};
  const vell_web_client web = {};
  const vell_thread_runner threads = {};
  vell_video_out_use(&video);
  vell_input_devices_use(&input);
  vell_audio_out_use(&audio);
  vell_clipboard_store_use(&clipboard);
  vell_clock_source_use(&clock);
  vell_web_client_use(&web);
  vell_thread_runner_use(&threads);

  vell_delay(5);
  vell_set_screen(128, 128, 8, 0);
  vell_blit_to_video_plat(vell_back_page());
  vell_handle_system_messages();
  vell_sound_init_plat(16, counting_fill);
  vell_lock_audio_plat();
  vell_unlock_audio_plat();
  vell_set_clipboard_text("kept locally");
  int32_t x = 1, y = 1, b = 1, w = 1, h = 1;
  vell_get_mouse(&x, &y, &b);
  vell_get_drawable_size(&w, &h);
  uint32_t buttons = 1;
  const std::tuple<const char *, int64_t, int64_t> rows[] = {
      {"clock", vell_get_time(), 0},
      {"window", vell_has_window(), 0},
      {"drawable size", w + h, 0},
      {"mouse", x + y + b, 0},
      {"sound running", vell_sound_running(), 0},
      {"mixer called", static_cast<int64_t>(g_blocks.size()), 0},
      {"clipboard", vell_get_clipboard_text() == "kept locally", 1},
      {"thread", vell_create_thread([] {}) == nullptr, 1},
      {"download", vell_wget("http://127.0.0.1:9/", (home.path + "x").c_str()), k_wget_no_session},
      {"opener", vell_launch_html("file.txt"), 1},
      {"controllers", vell_count_joysticks(), 0},
      {"controller 0", vell_get_joystick(0, &x, &y, &buttons), 1},
      {"key name", std::string(vell_get_key_name(4)).size(), 0},
  };
  for (const auto &[name, got, want] : rows) EXPECT_EQ(got, want) << name;
  vell_video_exit();

  for (auto use : {+[] { vell_video_out_use(nullptr); }, +[] { vell_input_devices_use(nullptr); },
                   +[] { vell_audio_out_use(nullptr); }, +[] { vell_clipboard_store_use(nullptr); },
                   +[] { vell_clock_source_use(nullptr); }, +[] { vell_web_client_use(nullptr); },
                   +[] { vell_thread_runner_use(nullptr); }})
    use();
  void *t = vell_create_thread([] {});
  EXPECT_NE(t, nullptr) << "the headless set starts threads again";
  vell_wait_thread(t);
}

TEST(Backends, HeadlessStartOpensNoWindowAndKeepsATableInstalledBeforeIt) {
  temp_home home;
  use_test_clock(rig_clock);
  g_rig_now = 4321;
  vell_config_set(&vell_config_t::headless, 1);
  vell_system_init();
  EXPECT_EQ(vell_get_time(), 4321u) << "the test's clock survives the start";
  vell_set_screen(128, 128, 8, 0x100);
  EXPECT_EQ(vell_has_window(), 0);
  ASSERT_NE(vell_back_page(), nullptr);
  vell_sound_init_plat(16, counting_fill);
  EXPECT_EQ(vell_sound_running(), 0);
  vell_set_clipboard_text("local");
  EXPECT_EQ(vell_get_clipboard_text(), "local");
  vell_video_exit();
  vell_system_exit();
  EXPECT_EQ(vell_get_time(), 4321u) << "and the stop";
  use_test_clock(nullptr);
  EXPECT_NE(vell_get_time(), 4321u) << "handed back";
}

TEST(WavOutput, PullsTheMixerInDeviceBlocksAndWritesACanonicalFileOnClose) {
  temp_home home;
  const std::string path = home.path + "out.wav";
  vell_config_set(&vell_config_t::mix_buffer_size, 1024);
  g_blocks.clear();
  vell_audio_out_use(vell_wav_out(path.c_str()));
  EXPECT_EQ(vell_wav_out_pull(10), VELL_WAV_NOT_OPEN) << "before the console opened it";
  vell_sound_init_plat(16, counting_fill);
  ASSERT_EQ(vell_sound_running(), 1);
  EXPECT_EQ(vell_wav_out_pull(2500), VELL_WAV_OK);
  EXPECT_EQ(g_blocks, (std::vector<int>{1024, 1024, 452}));
  EXPECT_FALSE(path_exists(path)) << "written at close";
  vell_sound_exit_plat();
  ASSERT_EQ(vell_wav_out_result(), VELL_WAV_OK);
  const std::string wav = read_file(path);
  ASSERT_EQ(wav.size(), 44u + 5000u);
  EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8) + wav.substr(36, 4), "RIFFWAVEfmt data");
  const std::tuple<const char *, uint32_t, uint32_t> fields[] = {
      {"RIFF size", le32(wav, 4), 36 + 5000},   {"format and channels", le32(wav, 20), 0x00010001},
      {"rate", le32(wav, 24), 22050},           {"bytes per second", le32(wav, 28), 44100},
      {"frame and bits", le32(wav, 32), 0x00100002}, {"data size", le32(wav, 40), 5000},
      {"samples -7 and -6", le32(wav, 44), 0xfffafff9u},
  };
  for (const auto &[name, got, want] : fields) EXPECT_EQ(got, want) << name;

  // A file that cannot be written is reported, not claimed.
  vell_audio_out_use(vell_wav_out((home.path + "missing/out.wav").c_str()));
  vell_sound_init_plat(16, counting_fill);
  EXPECT_EQ(vell_wav_out_pull(100), VELL_WAV_OK);
  vell_sound_exit_plat();
  EXPECT_EQ(vell_wav_out_result(), VELL_WAV_WRITE_FAILED);
  vell_audio_out_use(nullptr);
}
