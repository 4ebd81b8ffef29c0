#include "capture/capture.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/bitmap.h"
#include "capture/gif_encode.h"
#include "capture/video_clip.h"
#include "platform/files.h"
#include "platform/png_image.h"
#include "platform/system.h"
#include "platform/web.h"
#include "machine/app_config.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "shell/resources.h"

namespace {

constexpr int32_t k_max_screenshot_scale = 32;

enum name_kind { NAME_PNG, NAME_GIF };

// The one GIF save that may run in a worker. While state is RUNNING the
// worker alone touches path and result, and nobody changes frames; the
// main thread takes them back once it has seen the state leave RUNNING.
struct gif_job {
  std::vector<clip_frame_ref> frames;  // the recorded frames, held unchanged
  uint8_t palette[768] = {};           // the engine palette when the save began
  int32_t scale = 1;                   // canvas pixels per console pixel
  std::string prefix;                  // desktop folder and name base
  int32_t first_number = 0;            // first name number worth trying
  std::string path;                    // the file written
  int result = 1;                      // 0 written, 1 failed
  void *thread = nullptr;              // the worker, until collected
  std::atomic<int> state{GIF_SAVE_IDLE};
  bool exit_wait_registered = false;   // finish_gif_save runs at process exit
};

// Capture: the recording ring and the save that may run from it.
struct capture_state {
  video_clip clip;  // the frames recorded since the starting point
  gif_job job;      // the background GIF save
};

capture_state g;

std::string numbered_name(const std::string &prefix, name_kind kind, int32_t n) {
  char suffix[32];
  if (kind == NAME_PNG) snprintf(suffix, sizeof suffix, "_%03d.png", n);
  else snprintf(suffix, sizeof suffix, "_%d.gif", n);
  return prefix + suffix;
}

bool name_taken(const std::string &path) {
  return vell_file_exists(path.c_str()) || vell_directory_exists(path.c_str());
}

// The first number from n on whose name nothing holds yet.
int32_t first_free_number(const std::string &prefix, name_kind kind, int32_t n) {
  while (n < INT_MAX && name_taken(numbered_name(prefix, kind, n))) n++;
  return n;
}

// Writes data as a new file under the first free numbered name from n on; a
// name taken between the look and the write is passed over. 0 with path
// set, or 1.
int write_numbered(const std::string &prefix, name_kind kind, int32_t n, const std::string &data,
                   std::string *path) {
  for (n = first_free_number(prefix, kind, n); n < INT_MAX; n = first_free_number(prefix, kind, n + 1)) {
    *path = numbered_name(prefix, kind, n);
    const int r = vell_write_new_file(path->c_str(), data.data(), data.size());
    if (r != VELL_WRITE_EXISTS) return r == VELL_WRITE_OK ? 0 : 1;
  }
  return 1;
}

std::string desktop_prefix() { return vell_prefix_with_desktop_path(capture_name_base()); }

// The screen as a PNG, every pixel at full opacity in its engine palette
// colour, scale times as wide and high.
int screenshot_png(const vell_bitmap *screen, std::string *png) {
  if (!screen || screen->depth != 8) return 1;
  int32_t scale = orrery_config().screenshot_scale;
  scale = scale < 1 ? 1 : scale > k_max_screenshot_scale ? k_max_screenshot_scale : scale;
  const uint8_t *palette = vell_engine_palette();
  vell_rgba_image image;
  image.width = screen->w * scale;
  image.height = screen->h * scale;
  image.pixels.resize(static_cast<size_t>(image.width) * image.height * 4);
  const size_t row_bytes = static_cast<size_t>(image.width) * 4;
  for (int32_t y = 0; y < screen->h; y++) {
    uint8_t *row = image.pixels.data() + static_cast<size_t>(y) * scale * row_bytes;
    uint8_t *d = row;
    for (int32_t x = 0; x < screen->w; x++) {
      const uint8_t *c = palette + screen->line[y][x] * 3;
      for (int32_t k = 0; k < scale; k++, d += 4) {
        d[0] = c[0];
        d[1] = c[1];
        d[2] = c[2];
        d[3] = 255;
      }
    }
    for (int32_t k = 1; k < scale; k++) memcpy(row + k * row_bytes, row, row_bytes);
  }
  return vell_png_encode(image, png) == VELL_PNG_OK ? 0 : 1;
}

int write_gif_numbered(const std::vector<clip_frame_ref> &frames, int32_t scale, const uint8_t *palette,
                       const std::string &prefix, int32_t n, std::string *path) {
  std::string gif;
  if (encode_gif(frames, scale, palette, &gif) != 0) return 1;
  return write_numbered(prefix, NAME_GIF, n, gif, path);
}

void gif_worker() {
  gif_job &j = g.job;
  j.result = write_gif_numbered(j.frames, j.scale, j.palette, j.prefix, j.first_number, &j.path);
  j.state.store(j.result == 0 ? GIF_SAVE_DONE : GIF_SAVE_FAILED, std::memory_order_release);
}

}  // namespace

std::string capture_name_base() {
  std::string base;
  for (char c : orrery_resource_text(k_res_title)) {
    if (c == '\n' || c == '\r') break;
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '_';
    base += safe ? c : '_';
  }
  return base.find_first_not_of('_') == std::string::npos ? "ORRERY" : base;
}

int save_png_screenshot(const vell_bitmap *screen) {
  std::string png;
  if (screenshot_png(screen, &png) != 0) return 1;
  const std::string prefix = desktop_prefix();
  const int32_t n = first_free_number(prefix, NAME_PNG, 0);
  vell_debugf("saving screenshot to: %s\n", numbered_name(prefix, NAME_PNG, n).c_str());
  std::string path;
  if (write_numbered(prefix, NAME_PNG, n, png, &path) != 0) {
    vell_debugf("could not write %s\n", path.c_str());
    return 1;
  }
  if (!vell_file_exists(path.c_str())) return 1;
  // In a browser the picture is offered as a download as well.
  vell_offer_file(path.c_str());
  return 0;
}

int write_png_screenshot(const vell_bitmap *screen, const char *path) {
  std::string png;
  if (screenshot_png(screen, &png) != 0) return 1;
  return vell_write_file_replacing(path, png.data(), png.size()) == VELL_WRITE_OK ? 0 : 1;
}

void record_video_frame(const vell_bitmap *screen) {
  clip_record(&g.clip, screen, clip_length_for(orrery_config().gif_len));
}

void reset_video() { clip_reset(&g.clip); }

int recorded_frame_count() { return g.clip.index; }

int save_gif() {
  const std::string prefix = desktop_prefix();
  const int32_t n = first_free_number(prefix, NAME_GIF, 0);
  vell_debugf("saving video to: %s\n", numbered_name(prefix, NAME_GIF, n).c_str());
  std::string path;
  return write_gif_numbered(clip_frames(g.clip), gif_scale_for(orrery_config().gif_scale), vell_engine_palette(),
                            prefix, n, &path);
}

int write_gif(const char *path) {
  std::string gif;
  if (encode_gif(clip_frames(g.clip), gif_scale_for(orrery_config().gif_scale), vell_engine_palette(), &gif) != 0)
    return 1;
  return vell_write_file_replacing(path, gif.data(), gif.size()) == VELL_WRITE_OK ? 0 : 1;
}

int start_gif_save() {
  gif_job &j = g.job;
  if (j.state.load(std::memory_order_acquire) == GIF_SAVE_RUNNING) return 1;
  // An outcome nobody collected yet is dropped with its worker.
  vell_wait_thread(j.thread);
  j.thread = nullptr;
  j.frames = clip_frames(g.clip);
  memcpy(j.palette, vell_engine_palette(), sizeof j.palette);
  j.scale = gif_scale_for(orrery_config().gif_scale);
  j.prefix = desktop_prefix();
  j.first_number = first_free_number(j.prefix, NAME_GIF, 0);
  j.path.clear();
  vell_debugf("saving video to: %s\n", numbered_name(j.prefix, NAME_GIF, j.first_number).c_str());
  if (!j.exit_wait_registered) {
    j.exit_wait_registered = true;
    atexit(finish_gif_save);
  }
  j.state.store(GIF_SAVE_RUNNING, std::memory_order_release);
  j.thread = vell_create_thread(gif_worker);
  // Without a thread the save is done here: slower, but nothing is lost.
  if (!j.thread) gif_worker();
  return 0;
}

int poll_gif_save() {
  gif_job &j = g.job;
  const int state = j.state.load(std::memory_order_acquire);
  if (state == GIF_SAVE_IDLE || state == GIF_SAVE_RUNNING) return state;
  vell_wait_thread(j.thread);
  j.thread = nullptr;
  j.frames.clear();
  if (state == GIF_SAVE_DONE) {
    vell_debugf("saved video to: %s\n", j.path.c_str());
    vell_offer_file(j.path.c_str());
  } else {
    vell_debugf("could not write %s\n", j.path.c_str());
  }
  j.state.store(GIF_SAVE_IDLE, std::memory_order_relaxed);
  return state;
}

void finish_gif_save() {
  vell_wait_thread(g.job.thread);
  g.job.thread = nullptr;
}
