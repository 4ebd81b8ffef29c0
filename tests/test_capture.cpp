// Screenshots and GIF recordings, read back by independent decoders
// (ImageMagick's convert and identify, gifsicle): sizes, pixels, names,
// frame order, the GIF's blocks, the desktop folder, and the capture keys.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "capture/capture.h"
#include "machine/cart.h"
#include "machine/cart_png.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "machine/app_config.h"
#include "platform/config.h"
#include "shell/console.h"
#include "platform/paths.h"
#include "support/cart_support.h"
#include "support/runner_rig.h"
#include "support/temp_home.h"

namespace {

using bitmap_ptr = std::unique_ptr<vell_bitmap, void (*)(vell_bitmap *)>;

bitmap_ptr screen_of(uint8_t fill) {
  bitmap_ptr b(vell_create_bitmap(128, 128, 8), vell_destroy_bitmap);
  memset(b->data, fill, 128 * 128);
  return b;
}

// Capture without the console: default settings, a desktop folder in a
// temporary home and a palette whose entries all differ.
struct capture_env {
  temp_home home;
  std::string desk;
  uint8_t palette[768];

  capture_env() : desk(home.path + "desk/") {
    set_default_app_config();
    vell_make_directory(desk.c_str());
    snprintf(vell_config.desktop_path, sizeof vell_config.desktop_path, "%s", desk.c_str());
    for (int i = 0; i < 256; i++) {
      palette[i * 3] = static_cast<uint8_t>(i);
      palette[i * 3 + 1] = static_cast<uint8_t>(255 - i);
      palette[i * 3 + 2] = static_cast<uint8_t>(i * 37);
    }
    vell_set_engine_palette(palette);
    reset_video();
  }
};

process_result tool(const std::vector<std::string> &args) {
  std::vector<std::string> argv = {"/usr/bin/env"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv);
}

// The picture as 8-bit RGBA decoded by ImageMagick; "" when it cannot be.
std::string decode_rgba(const std::string &file) {
  process_result r = tool({"convert", file, "-depth", "8", "rgba:-"});
  return r.exit_code == 0 ? r.output : "";
}

std::string image_size(const std::string &file) {
  return tool({"identify", "-format", "%wx%h", file}).output;
}

// Pixels of rgba (side x side) that differ from screen scaled by side/128
// through palette at full opacity.
int mismatches(const std::string &rgba, const vell_bitmap *screen, int side, const uint8_t *palette) {
  if (rgba.size() != static_cast<size_t>(side) * side * 4) return -1;
  const int scale = side / 128;
  int bad = 0;
  for (int y = 0; y < side; y++)
    for (int x = 0; x < side; x++) {
      const uint8_t *c = palette + screen->line[y / scale][x / scale] * 3;
      const uint8_t *p = reinterpret_cast<const uint8_t *>(rgba.data()) + (static_cast<size_t>(y) * side + x) * 4;
      bad += p[0] != c[0] || p[1] != c[1] || p[2] != c[2] || p[3] != 255;
    }
  return bad;
}

std::vector<std::string> folder_names(const std::string &folder) {
  std::vector<std::string> names;
  vell_find_result r;
  if (vell_find_first(folder.c_str(), "*", &r, -1) == 0) {
    do
      if (strcmp(r.name, ".") && strcmp(r.name, "..")) names.push_back(r.name);
    while (vell_find_next(&r) == 0);
  }
  vell_find_close(&r);
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
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) screen->line[y][x] = static_cast<uint8_t>((x / 8 + y / 8 * 3) % 16);
  screen->line[5][7] = 140;  // an extended colour is written as it shows

  struct row {
    int32_t scale;   // screenshot_scale
    int side;        // expected width and height
    bool compare;    // decode and compare every pixel (skipped for the 4096-pixel one)
  } rows[] = {{-2, 128, true}, {0, 128, true}, {1, 128, true}, {3, 384, true}, {100, 4096, false}};
  int n = 0;
  for (const row &r : rows) {
    orrery_config.screenshot_scale = r.scale;
    ASSERT_EQ(save_png_screenshot(screen.get()), 0) << "scale " << r.scale;
    char name[32];
    snprintf(name, sizeof name, "ORRERY_%03d.png", n++);
    const std::string file = env.desk + name;
    EXPECT_EQ(image_size(file), std::to_string(r.side) + "x" + std::to_string(r.side)) << "scale " << r.scale;
    if (r.compare) {
      EXPECT_EQ(mismatches(decode_rgba(file), screen.get(), r.side, env.palette), 0) << "scale " << r.scale;
    }
  }
  EXPECT_NE(env.home.log().find("saving screenshot to: " + env.desk + "ORRERY_000.png\n"), std::string::npos);
}

TEST(CaptureNames, CountUpPastTakenNamesAndNeverReplaceAFile) {
  capture_env env;
  write_file(env.desk + "ORRERY_000.png", "keep");
  vell_make_directory((env.desk + "ORRERY_001.png").c_str());
  write_file(env.desk + "ORRERY_0.gif", "keep");
  bitmap_ptr screen = screen_of(3);
  record_video_frame(screen.get());
  // Two of each within the same second still get names of their own.
  EXPECT_EQ(save_png_screenshot(screen.get()), 0);
  EXPECT_EQ(save_png_screenshot(screen.get()), 0);
  EXPECT_EQ(save_gif(), 0);
  EXPECT_EQ(save_gif(), 0);
  EXPECT_EQ(folder_names(env.desk), (std::vector<std::string>{"ORRERY_0.gif", "ORRERY_000.png", "ORRERY_001.png",
                                                              "ORRERY_002.png", "ORRERY_003.png", "ORRERY_1.gif",
                                                              "ORRERY_2.gif"}))
      << "no temporary file is left behind";
  EXPECT_EQ(read_file(env.desk + "ORRERY_000.png"), "keep");
  EXPECT_EQ(read_file(env.desk + "ORRERY_0.gif"), "keep");
}

TEST(CaptureNames, ReadOnlyDesktopFailsAndLosesNothing) {
  capture_env env;
  write_file(env.desk + "ORRERY_000.png", "keep");
  bitmap_ptr screen = screen_of(5);
  for (int i = 0; i < 4; i++) record_video_frame(screen.get());
  // Root writes into any folder: the saves run in a child that gives up
  // root first, in a folder it may enter but not write.
  ASSERT_EQ(chmod(env.home.folder.path.c_str(), 0755), 0);
  ASSERT_EQ(chmod(env.desk.c_str(), 0555), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(save_png_screenshot(screen.get()) == 1 && save_gif() == 1 ? 0 : 1);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "both saves report failure";
  EXPECT_EQ(folder_names(env.desk), std::vector<std::string>{"ORRERY_000.png"});
  EXPECT_EQ(read_file(env.desk + "ORRERY_000.png"), "keep");

  // Once the folder can be written, the same recording is saved whole.
  ASSERT_EQ(chmod(env.desk.c_str(), 0755), 0);
  ASSERT_EQ(save_gif(), 0);
  EXPECT_EQ(count_of(tool({"gifsicle", "--info", env.desk + "ORRERY_0.gif"}).output, "+ image #"), 4);
}

TEST(GifRecording, BlocksSizeColoursAndFramesAsTheDecoderSeesThem) {
  capture_env env;
  orrery_config.gif_len = 1;  // a ring of 30 frames
  struct row {
    const char *name;
    int32_t scale;      // gif_scale
    int recorded;       // frames recorded; frame k is filled with colour k % 16
    int reset_after;    // the starting point is set after this many frames (-1: never)
    uint8_t extra;      // a pixel of this colour in every frame (0: none)
    int images;         // expected frames
    int first;          // the frame recorded first among them
    int side;           // expected canvas
    int colours;        // expected colour table
  } rows[] = {
      {"16 colours at scale 2", 2, 5, -1, 0, 5, 0, 256, 16},
      {"an extended colour needs 256", 1, 3, -1, 140, 3, 0, 128, 256},
      {"scale 0 is 1", 0, 2, -1, 0, 2, 0, 128, 16},
      {"the starting point drops earlier frames", 3, 8, 5, 0, 3, 5, 384, 16},
      {"past the ring's end the newest 29 stay", 1, 40, -1, 0, 29, 11, 128, 16},
      {"no frames", 2, 0, -1, 0, 0, 0, 256, 16},
  };
  int n = 0;
  for (const row &r : rows) {
    SCOPED_TRACE(r.name);
    orrery_config.gif_scale = r.scale;
    reset_video();
    for (int k = 0; k < r.recorded; k++) {
      if (k == r.reset_after) reset_video();
      bitmap_ptr frame = screen_of(static_cast<uint8_t>(k % 16));
      if (r.extra) frame->line[64][64] = r.extra;
      record_video_frame(frame.get());
    }
    ASSERT_EQ(save_gif(), 0);
    const std::string file = env.desk + "ORRERY_" + std::to_string(n++) + ".gif";
    if (r.images == 0) {
      // gifsicle shows nothing for a GIF without images: header, screen
      // descriptor (canvas, 16-entry table), the table and the trailer.
      const std::string gif = read_file(file);
      EXPECT_EQ(gif.size(), 6u + 7u + 3u * 16u + 1u);
      EXPECT_EQ(gif.substr(0, 11), std::string("GIF89a\x00\x01\x00\x01\xf3", 11));
      EXPECT_EQ(gif.back(), ';');
      continue;
    }
    const std::string info = tool({"gifsicle", "--info", file}).output;
    const std::string side = std::to_string(r.side);
    EXPECT_NE(info.find("logical screen " + side + "x" + side), std::string::npos) << info;
    EXPECT_NE(info.find("global color table [" + std::to_string(r.colours) + "]"), std::string::npos) << info;
    EXPECT_EQ(count_of(info, "+ image #0 " + side + "x" + side), 1) << info;
    EXPECT_EQ(count_of(info, "+ image #"), r.images) << info;
    EXPECT_EQ(count_of(info, "disposal background delay 0.03s"), r.images) << info;
    EXPECT_EQ(count_of(info, "loop forever"), 1) << info;
    const std::string colours = tool({"gifsicle", "--color-info", file}).output;
    char entry[32];
    snprintf(entry, sizeof entry, "%d: #%02X%02X%02X", r.colours - 1, env.palette[(r.colours - 1) * 3],
             env.palette[(r.colours - 1) * 3 + 1], env.palette[(r.colours - 1) * 3 + 2]);
    EXPECT_NE(colours.find(entry), std::string::npos) << "the table is the engine palette's start: " << entry;
    // The first and last frames decode to the frames recorded, in order.
    for (int i : {0, r.images - 1}) {
      bitmap_ptr want = screen_of(static_cast<uint8_t>((r.first + i) % 16));
      if (r.extra) want->line[64][64] = r.extra;
      EXPECT_EQ(mismatches(decode_rgba(file + "[" + std::to_string(i) + "]"), want.get(), r.side, env.palette), 0)
          << "frame " << i;
    }
  }
}

TEST(GifRecording, BackgroundSaveKeepsItsFramesWhileRecordingGoesOn) {
  capture_env env;
  orrery_config.gif_scale = 1;
  for (int k = 0; k < 10; k++) record_video_frame(screen_of(static_cast<uint8_t>(k + 1)).get());
  ASSERT_EQ(start_gif_save(), 0);
  // New frames go into the very slots the save is reading.
  reset_video();
  for (int k = 0; k < 10; k++) record_video_frame(screen_of(15).get());
  int state = GIF_SAVE_RUNNING;
  for (int i = 0; i < 2000 && state == GIF_SAVE_RUNNING; i++) {
    state = poll_gif_save();
    if (state == GIF_SAVE_RUNNING) usleep(5000);
  }
  ASSERT_EQ(state, GIF_SAVE_DONE);
  EXPECT_EQ(poll_gif_save(), GIF_SAVE_IDLE) << "the outcome is reported once";
  const std::string file = env.desk + "ORRERY_0.gif";
  for (int i : {0, 9})
    EXPECT_EQ(mismatches(decode_rgba(file + "[" + std::to_string(i) + "]"), screen_of(uint8_t(i + 1)).get(), 128,
                         env.palette),
              0)
        << "frame " << i;
}

TEST(DesktopFolder, OptionThenAnExistingDesktopThenTheUsersHome) {
  temp_home home;
  const std::string user = home.path + "user";
  vell_make_directory(user.c_str());
  setenv("HOME", user.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home.path + "config").c_str(), 1);
  unsetenv("XDG_DESKTOP_DIR");

  EXPECT_EQ(vell_prefix_with_desktop_path("a"), user + "/a") << "no desktop folder";
  vell_make_directory((user + "/Desktop").c_str());
  EXPECT_EQ(vell_prefix_with_desktop_path("a"), user + "/Desktop/a");
  vell_make_directories((home.path + "config").c_str());
  write_file(home.path + "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(vell_prefix_with_desktop_path("a"), user + "/Desktop/a") << "a configured folder that is missing";
  vell_make_directory((user + "/Schreibtisch").c_str());
  EXPECT_EQ(vell_prefix_with_desktop_path("a"), user + "/Schreibtisch/a");
  snprintf(vell_config.desktop_path, sizeof vell_config.desktop_path, "%s", "/elsewhere");
  EXPECT_EQ(vell_prefix_with_desktop_path("a"), "/elsewhere/a");
}

TEST(CaptureKeys, ScreenshotLabelAndRecordingFromARunningCartridge) {
  runner_rig rig;
  const std::string desk = rig.home.path + "desktop/";
  rig.press({64});  // F7 at the console: no cartridge runs, no label
  EXPECT_EQ(orrery_working_cart()->label, nullptr);

  rig.run("function _draw() cls(3) rectfill(10, 20, 50, 40, 8) circfill(90, 90, 20, 12) end");
  for (int i = 0; i < 5; i++) rig.frame();
  rig.press({63});  // F6
  EXPECT_STREQ(orrery_state.message, "saved screenshot to desktop");
  EXPECT_EQ(mismatches(decode_rgba(desk + "orrery_000.png"), orrery_state.presented, 384, vell_engine_palette()), 0);

  rig.press({64});  // F7
  EXPECT_STREQ(orrery_state.message, "captured label image");
  EXPECT_EQ(orrery_state.message_end - orrery_state.message_start, 1000u + 400u);
  const vell_bitmap *label = orrery_working_cart()->label;
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(memcmp(label->data, orrery_state.presented->data, 128 * 128), 0);
  const std::string text = save_q7_text(orrery_working_cart());
  EXPECT_NE(text.find("__label__\n" + std::string(128, '3') + "\n"), std::string::npos) << "a saved cartridge keeps it";
  // A saved picture cartridge shows it at (16, 24); the two low bits of
  // each channel carry the cartridge's data.
  ASSERT_EQ(save_orrery_cart_png(orrery_working_cart(), (desk + "l.q7.png").c_str()), 0);
  const std::string shown = tool({"convert", desk + "l.q7.png", "-crop", "128x128+16+24", "-depth", "8", "rgba:-"}).output;
  ASSERT_EQ(shown.size(), 128u * 128 * 4);
  int label_bad = 0;
  for (int i = 0; i < 128 * 128; i++) {
    const uint8_t *c = vell_engine_palette() + label->data[i] * 3;
    for (int k = 0; k < 3; k++) label_bad += (static_cast<uint8_t>(shown[i * 4 + k]) & 0xfc) != (c[k] & 0xfc);
  }
  EXPECT_EQ(label_bad, 0);

  rig.press({66});  // F9: written by the worker, reported when done
  for (int i = 0; i < 2000 && strcmp(orrery_state.message, "saved video to desktop") != 0; i++) {
    usleep(5000);
    rig.iterate(1);
  }
  EXPECT_STREQ(orrery_state.message, "saved video to desktop");
  EXPECT_GT(count_of(tool({"gifsicle", "--info", desk + "orrery_0.gif"}).output, "+ image #"), 4);
}
