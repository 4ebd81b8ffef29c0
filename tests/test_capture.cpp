// Screenshots and GIF recordings, read back by independent decoders
// (ImageMagick's convert and identify, gifsicle): sizes, pixels, names,
// frame order, the desktop folder, and the capture keys.
#include "support/test.h"

namespace {

bitmap_ptr screen_of(uint8_t fill) {
  bitmap_ptr b(vell_create_bitmap(128, 128, 8));
  memset(b->data, fill, 128 * 128);
  return b;
}

// Capture without the console: default settings, a desktop folder in a
// temporary home and a palette whose entries all differ.
struct capture_env {
  temp_home home;
  std::string desk = home.path + "desk/";
  uint8_t palette[768];

  capture_env() {
    set_default_app_config();
    vell_make_directory(desk.c_str());
    vell_config_set_text(&vell_config_t::desktop_path, desk.c_str());
    for (int i = 0; i < 768; i++)
      palette[i] = static_cast<uint8_t>(i % 3 == 0 ? i / 3 : i % 3 == 1 ? 255 - i / 3 : i / 3 * 37);
    vell_set_engine_palette(palette);
    reset_video();
  }
};

std::string tool(const std::vector<std::string> &args) {
  std::vector<std::string> argv = {"/usr/bin/env"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv).output;
}

// Pixels of the file (side x side, decoded by ImageMagick) that differ from
// screen scaled by side/128 through palette at full opacity; -1 when the
// size is wrong.
int mismatches(const std::string &file, const vell_bitmap *screen, int side, const uint8_t *palette) {
  const std::string rgba = tool({"convert", file, "-depth", "8", "rgba:-"});
  if (rgba.size() != static_cast<size_t>(side) * side * 4) return -1;
  int bad = 0;
  for (int i = 0; i < side * side; i++) {
    const uint8_t *c = palette + screen->line[i / side * 128 / side][i % side * 128 / side] * 3;
    const uint8_t *p = reinterpret_cast<const uint8_t *>(rgba.data()) + static_cast<size_t>(i) * 4;
    bad += p[0] != c[0] || p[1] != c[1] || p[2] != c[2] || p[3] != 255;
  }
  return bad;
}

std::vector<std::string> folder_names(const std::string &folder) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

int count_of(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

}  // namespace

TEST(Screenshot, DecodesToTheScreenScaledPixelForPixel) {
  capture_env env;
  bitmap_ptr screen = screen_of(0);
  for (int i = 0; i < 128 * 128; i++) screen->data[i] = static_cast<uint8_t>((i % 128 / 8 + i / 1024 * 3) % 16);
  screen->line[5][7] = 140;  // an extended colour is written as it shows
  // screenshot_scale, then the expected side (scales are clamped to 1..32).
  const int rows[][2] = {{-2, 128}, {3, 384}, {100, 4096}};
  for (int n = 0; n < 3; n++) {
    orrery_config_set(&orrery_config_t::screenshot_scale, rows[n][0]);
    ASSERT_EQ(save_png_screenshot(screen.get()), 0) << rows[n][0];
    const std::string file = env.desk + "ORRERY_00" + std::to_string(n) + ".png", side = std::to_string(rows[n][1]);
    EXPECT_EQ(tool({"identify", "-format", "%wx%h", file}), side + "x" + side);
    EXPECT_EQ(rows[n][1] < 4096 ? mismatches(file, screen.get(), rows[n][1], env.palette) : 0, 0) << rows[n][0];
  }
  EXPECT_NE(env.home.log().find("saving screenshot to: " + env.desk + "ORRERY_000.png\n"), std::string::npos);
}

TEST(CaptureNames, CountUpPastTakenNamesNeverReplaceAFileAndFailOnAReadOnlyDesktop) {
  capture_env env;
  write_file(env.desk + "ORRERY_000.png", "keep");
  vell_make_directory((env.desk + "ORRERY_001.png").c_str());
  write_file(env.desk + "ORRERY_0.gif", "keep");
  bitmap_ptr screen = screen_of(3);
  for (int i = 0; i < 4; i++) record_video_frame(screen.get());
  // Root writes into any folder: the first saves run in a child that gives
  // up root first, in a folder it may enter but not write.
  ASSERT_EQ(chmod(env.home.folder.path.c_str(), 0755) + chmod(env.desk.c_str(), 0555), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(save_png_screenshot(screen.get()) == 1 && save_gif() == 1 ? 0 : 1);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "both saves report failure";
  const std::vector<std::string> before = {"ORRERY_0.gif", "ORRERY_000.png", "ORRERY_001.png"};
  EXPECT_EQ(folder_names(env.desk), before);
  // Writable again: two of each within the same second still get names of
  // their own, the same recording is saved whole, no temporary file stays.
  ASSERT_EQ(chmod(env.desk.c_str(), 0755), 0);
  EXPECT_EQ(save_png_screenshot(screen.get()) + save_png_screenshot(screen.get()) + save_gif() + save_gif(), 0);
  EXPECT_EQ(folder_names(env.desk),
            (std::vector<std::string>{"ORRERY_0.gif", "ORRERY_000.png", "ORRERY_001.png", "ORRERY_002.png",
                                      "ORRERY_003.png", "ORRERY_1.gif", "ORRERY_2.gif"}));
  EXPECT_EQ(read_file(env.desk + "ORRERY_000.png") + read_file(env.desk + "ORRERY_0.gif"), "keepkeep");
  EXPECT_EQ(count_of(tool({"gifsicle", "--info", env.desk + "ORRERY_1.gif"}), "+ image #"), 4);
}

TEST(GifRecording, BlocksSizeColoursAndFramesAsTheDecoderSeesThem) {
  capture_env env;
  orrery_config_set(&orrery_config_t::gif_len, 1);  // a ring of 30 frames
  // gif_scale, frames recorded (frame k is filled with colour k % 16), the
  // starting point set after this many (-1: never), a pixel of this colour
  // in every frame (0: none); then expected frames, the first of them,
  // canvas side and colour table size.
  const std::tuple<const char *, int32_t, int, int, uint8_t, int, int, int, int> rows[] = {
      {"16 colours at scale 2", 2, 5, -1, 0, 5, 0, 256, 16},
      {"an extended colour needs 256", 1, 3, -1, 140, 3, 0, 128, 256},
      {"the starting point drops earlier frames", 3, 8, 5, 0, 3, 5, 384, 16},
      {"past the ring's end the newest 29 stay", 1, 40, -1, 0, 29, 11, 128, 16},
      {"no frames", 2, 0, -1, 0, 0, 0, 256, 16}};
  int n = 0;
  for (const auto &[name, scale, recorded, reset_after, extra, images, first, side, colours] : rows) {
    SCOPED_TRACE(name);
    orrery_config_set(&orrery_config_t::gif_scale, scale);
    reset_video();
    for (int k = 0; k < recorded; k++) {
      if (k == reset_after) reset_video();
      bitmap_ptr frame = screen_of(static_cast<uint8_t>(k % 16));
      if (extra) frame->line[64][64] = extra;
      record_video_frame(frame.get());
    }
    ASSERT_EQ(save_gif(), 0);
    const std::string file = env.desk + "ORRERY_" + std::to_string(n++) + ".gif", s = std::to_string(side);
    if (images == 0) {
      // Header, screen descriptor (canvas, 16-entry table), table, trailer.
      const std::string gif = read_file(file);
      EXPECT_EQ(gif.size(), 6u + 7u + 3u * 16u + 1u);
      EXPECT_EQ(gif.substr(0, 11) + gif.back(), std::string("GIF89a\x00\x01\x00\x01\xf3;", 12));
      continue;
    }
    const std::string info = tool({"gifsicle", "--info", file});
    for (const std::string &line :
         {"logical screen " + s + "x" + s, "global color table [" + std::to_string(colours) + "]",
          std::string("loop forever")})
      EXPECT_EQ(count_of(info, line), 1) << line << "\n" << info;
    EXPECT_EQ(count_of(info, "+ image #0 " + s + "x" + s), 1) << info;
    EXPECT_EQ(count_of(info, "+ image #"), images) << info;
    EXPECT_EQ(count_of(info, "disposal background delay 0.03s"), images) << info;
    // The first and last frames decode to the frames recorded, in order,
    // through the engine palette.
    for (int i : {0, images - 1}) {
      bitmap_ptr want = screen_of(static_cast<uint8_t>((first + i) % 16));
      if (extra) want->line[64][64] = extra;
      EXPECT_EQ(mismatches(file + "[" + std::to_string(i) + "]", want.get(), side, env.palette), 0) << "frame " << i;
    }
  }
}

TEST(GifRecording, BackgroundSaveKeepsItsFramesWhileRecordingGoesOn) {
  capture_env env;
  orrery_config_set(&orrery_config_t::gif_scale, 1);
  for (int k = 0; k < 10; k++) record_video_frame(screen_of(static_cast<uint8_t>(k + 1)).get());
  ASSERT_EQ(start_gif_save(), 0);
  // New frames go into the very slots the save is reading.
  reset_video();
  for (int k = 0; k < 10; k++) record_video_frame(screen_of(15).get());
  int state = GIF_SAVE_RUNNING;
  for (int i = 0; i < 2000 && (state = poll_gif_save()) == GIF_SAVE_RUNNING; i++) usleep(5000);
  ASSERT_EQ(state, GIF_SAVE_DONE);
  EXPECT_EQ(poll_gif_save(), GIF_SAVE_IDLE) << "the outcome is reported once";
  for (int i : {0, 9}) {
    const bitmap_ptr want = screen_of(uint8_t(i + 1));
    EXPECT_EQ(mismatches(env.desk + "ORRERY_0.gif[" + std::to_string(i) + "]", want.get(), 128, env.palette), 0) << i;
  }
}

TEST(CaptureKeys, ScreenshotLabelAndRecordingFromARunningCartridge) {
  runner_rig rig;
  const std::string desk = rig.home.path + "desktop/";
  rig.press({64});  // F7 at the console: no cartridge runs, no label
  EXPECT_EQ(orrery_working_cart()->label, nullptr);
  rig.run("function _draw() cls(3) rectfill(10, 20, 50, 40, 8) circfill(90, 90, 20, 12) end");
  for (int i = 0; i < 5; i++) rig.frame();
  rig.press({63});  // F6
  EXPECT_STREQ(message_bar_state().text, "saved screenshot to desktop");
  EXPECT_EQ(mismatches(desk + "orrery_000.png", orrery_state.presented, 384, vell_engine_palette()), 0);
  rig.press({64});  // F7
  EXPECT_STREQ(message_bar_state().text, "captured label image");
  EXPECT_EQ(message_bar_state().end - message_bar_state().start, 1000u + 400u);
  const vell_bitmap *label = orrery_working_cart()->label;
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(memcmp(label->data, orrery_state.presented->data, 128 * 128), 0);
  EXPECT_NE(save_q7_text(orrery_working_cart()).find("__label__\n" + std::string(128, '3') + "\n"), std::string::npos)
      << "a saved cartridge keeps it";
  // A saved picture cartridge shows it at (16, 24); the two low bits of
  // each channel carry the cartridge's data.
  ASSERT_EQ(save_orrery_cart_png(orrery_working_cart(), (desk + "l.q7.png").c_str()), 0);
  const std::string shown = tool({"convert", desk + "l.q7.png", "-crop", "128x128+16+24", "-depth", "8", "rgba:-"});
  ASSERT_EQ(shown.size(), 128u * 128 * 4);
  int label_bad = 0;
  for (int i = 0; i < 128 * 128 * 3; i++)
    label_bad += (shown[i / 3 * 4 + i % 3] & 0xfc) != (vell_engine_palette()[label->data[i / 3] * 3 + i % 3] & 0xfc);
  EXPECT_EQ(label_bad, 0);
  rig.press({66});  // F9: written by the worker, reported when done
  for (int i = 0; i < 2000 && strcmp(message_bar_state().text, "saved video to desktop") != 0; i++) {
    usleep(5000);
    rig.iterate(1);
  }
  EXPECT_STREQ(message_bar_state().text, "saved video to desktop");
  EXPECT_GT(count_of(tool({"gifsicle", "--info", desk + "orrery_0.gif"}), "+ image #"), 4);
}
