#include "platform/web/web_backend.h"

#ifdef __EMSCRIPTEN__

#include <emscripten.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/config.h"
#include "platform/engine_state.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/web.h"

namespace {

struct web_state {
  double clock_start = 0;          // emscripten_get_now() at the last restart, ms
  int (*turn)() = nullptr;         // the console's loop turn, called once per display frame
  uint32_t files_kept = 0;         // vell_files_changed() when the page last kept the home folder
  vell_audio_fill mixer = nullptr;  // the mixer, called through count_fill
  double audible = 0;              // samples count_fill saw that were not silent
};

web_state g_web;

// ---------------------------------------------------------------------------
// The loop

// Asks the page to copy the home folder into the browser's storage, which
// it does in the background (a tab can be closed at any moment, so this
// follows every change rather than waiting for the end).
EM_JS(void, page_keep_home, (), {
  if (Module["orreryKeepHome"]) Module["orreryKeepHome"]();
});

void keep_home_when_changed() {
  const uint32_t changed = vell_files_changed();
  if (changed == g_web.files_kept) return;
  g_web.files_kept = changed;
  page_keep_home();
}

void display_frame() {
  const int more = g_web.turn();
  keep_home_when_changed();
  if (more) return;
  emscripten_cancel_main_loop();
  // The console has shut down: the runtime ends (the page hears of it
  // through its exit handler).
  exit(0);
}

void run_loop(int (*turn)()) {
  g_web.turn = turn;
  g_web.files_kept = vell_files_changed();
  // Called on the browser's animation frames (0: the display's own rate);
  // vell_main does not return, so nothing after the loop runs early.
  emscripten_set_main_loop(display_frame, 0, 1);
}

uint32_t now_ms() { return static_cast<uint32_t>(static_cast<int64_t>(emscripten_get_now() - g_web.clock_start)); }

void restart() { g_web.clock_start = emscripten_get_now(); }

// ---------------------------------------------------------------------------
// Workers: the browser build has one thread, so a worker runs to its end
// when it is started and its handle only stands for that.

int g_ran_worker;  // the address of this is the handle of every finished worker

void *start_worker(vell_thread_func f) {
  f();
  return &g_ran_worker;
}

void finished_worker(void *) {}

// ---------------------------------------------------------------------------
// Requests

// Fetches address with the browser's own request, synchronously (the
// console's download worker runs on this thread and waits for its file);
// the catalogue is served from the page's own site. The body's bytes stay
// in Module.orreryFetched for take_fetched. Returns the body's length, or
// -1 when the request failed (no answer, refused by the browser).
EM_JS(double, fetch_body, (const char *address), {
  var xhr = new XMLHttpRequest();
  try {
    xhr.open("GET", UTF8ToString(address), false);
    // Bytes as characters 0..255: a synchronous request takes no binary type.
    xhr.overrideMimeType("text/plain; charset=x-user-defined");
    xhr.send(null);
  } catch (e) {
    return -1;
  }
  if (xhr.status === 0) return -1;
  Module["orreryFetched"] = xhr.responseText || "";
  return Module["orreryFetched"].length;
});

EM_JS(void, take_fetched, (char *out, int count), {
  var text = Module["orreryFetched"];
  for (var i = 0; i < count; i++) HEAPU8[out + i] = text.charCodeAt(i) & 255;
  Module["orreryFetched"] = undefined;
});

int get(const vell_web_request *r) {
  if (vell_wget_cancelled(r->generation)) return k_wget_cancelled;
  const double length = fetch_body(r->address);
  if (length < 0) {
    vell_debugf("fetch %s: no answer\n", r->address);
    return k_wget_no_url;
  }
  const bool too_large = length > static_cast<double>(r->max_bytes);
  std::string body(too_large ? static_cast<size_t>(r->max_bytes) : static_cast<size_t>(length), '\0');
  take_fetched(body.data(), static_cast<int>(body.size()));
  const int fd = vell_create_file(r->path);
  if (fd < 0) return k_wget_no_file;
  size_t done = 0;
  while (done < body.size()) {
    const ssize_t n = write(fd, body.data() + done, body.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  if (done < body.size()) return k_wget_no_file;
  return too_large ? k_wget_too_large : k_wget_ok;
}

// Web addresses open in a new tab; folders and files of the console's own
// file system mean nothing to the browser.
EM_JS(int, open_tab, (const char *target), {
  var address = UTF8ToString(target);
  var scheme = address.slice(0, 8).toLowerCase();
  if (scheme.indexOf("http://") !== 0 && scheme.indexOf("https://") !== 0) return 1;
  var tab = window.open(address, "_blank");
  if (!tab) return 1;
  tab.opener = null;
  return 0;
});

int launch(const char *target) {
  const int rc = open_tab(target);
  vell_debugf("vell_launch_html: %s %s\n", target, rc == 0 ? "opened in a new tab" : "not opened");
  return rc;
}

// Offers the file's bytes as a download named like the file.
EM_JS(int, offer_download, (const char *path), {
  try {
    var name = UTF8ToString(path);
    var bytes = FS.readFile(name);
    var ending = name.slice(-4).toLowerCase();
    var type = ending === ".png" ? "image/png" : ending === ".gif" ? "image/gif" : "application/octet-stream";
    var url = URL.createObjectURL(new Blob([bytes], {type: type}));
    var link = document.createElement("a");
    link.href = url;
    link.download = name.split("/").pop();
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function() { URL.revokeObjectURL(url); }, 60000);
    return 0;
  } catch (e) {
    return 1;
  }
});

int offer(const char *path) { return offer_download(path); }

// ---------------------------------------------------------------------------
// Window and sound: SDL's, adapted to the page

// The page has one canvas: the window is made once, as a resizable window
// that takes the canvas's size on the page (which the page's style sets to
// the whole browser window). Full screen is the page's to ask for, from a
// click, so a later request for a window (F11, Alt+Enter) keeps this one.
void open_window(int) {
  if (!vell_sdl_video()->has_window()) vell_sdl_video()->open(1);
}

void count_fill(int16_t *samples, int count) {
  g_web.mixer(samples, count);
  for (int i = 0; i < count; i++)
    if (samples[i] != 0) g_web.audible++;
}

int open_sound(int32_t rate, int32_t frames, vell_audio_fill fill) {
  g_web.mixer = fill;
  return vell_sdl_audio()->open(rate, frames, count_fill);
}

vell_video_out web_video() {
  vell_video_out t = *vell_sdl_video();
  t.open = open_window;
  return t;
}

vell_audio_out web_audio() {
  vell_audio_out t = *vell_sdl_audio();
  t.open = open_sound;
  return t;
}

const vell_video_out k_video = web_video();
const vell_audio_out k_audio = web_audio();
constexpr vell_clock_source k_clock = {now_ms, restart, nullptr, run_loop};
constexpr vell_web_client k_requests = {get, launch, offer};
constexpr vell_thread_runner k_threads = {start_worker, finished_worker, finished_worker};

}  // namespace

const vell_video_out *vell_web_video() { return &k_video; }
const vell_audio_out *vell_web_audio() { return &k_audio; }
const vell_clock_source *vell_web_clock() { return &k_clock; }
const vell_web_client *vell_web_requests() { return &k_requests; }
const vell_thread_runner *vell_web_threads() { return &k_threads; }

extern "C" EMSCRIPTEN_KEEPALIVE double vell_web_audible_samples() { return g_web.audible; }

// The page is being hidden, perhaps to be closed: config.txt is written now
// (a desktop writes it at the end, which a closed tab never reaches). The
// page then keeps the home folder.
extern "C" EMSCRIPTEN_KEEPALIVE void vell_web_page_hidden() {
  if (vell_state.initialised) vell_config_save();
}

#else

const vell_video_out *vell_web_video() { return nullptr; }
const vell_audio_out *vell_web_audio() { return nullptr; }
const vell_clock_source *vell_web_clock() { return nullptr; }
const vell_web_client *vell_web_requests() { return nullptr; }
const vell_thread_runner *vell_web_threads() { return nullptr; }

#endif
