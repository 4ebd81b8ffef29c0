#include "platform/backends.h"

#include <cstring>

#include "platform/desktop/desktop.h"
#include "platform/headless/headless.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/web/web_backend.h"
#include "platform/web.h"

namespace {

// Do-nothing defaults for the slots a backend leaves empty.
void nothing() {}
void no_size(int32_t *w, int32_t *h) { *w = *h = 0; }
void keep_size(int32_t *, int32_t *) {}
void no_window(int) {}
int no() { return 0; }
void no_page(const vell_bitmap *) {}
void no_text(const char *) {}
const char *no_name() { return ""; }
const char *no_key_name(int32_t) { return ""; }
const uint8_t *no_keys(int *count) {
  static const uint8_t k_none[1] = {0};
  *count = 0;
  return k_none;
}
int no_event(vell_input_event *) { return 0; }
uint32_t no_mouse(int32_t *x, int32_t *y) {
  *x = *y = 0;
  return 0;
}
void no_point(int32_t, int32_t) {}
void no_pads(const std::vector<std::string> &) {}
int32_t no_count() { return 0; }
int32_t no_buttons(int32_t) { return 0; }
int no_pad(int32_t, int32_t axes[2], uint32_t *buttons) {
  axes[0] = axes[1] = 0;
  *buttons = 0;
  return 1;
}
int no_device(int32_t, int32_t, vell_audio_fill) { return 1; }
std::string no_clipboard() { return ""; }
uint32_t clock_at_zero() { return 0; }
void no_sleep(uint32_t) {}
void loop_here(int (*turn)()) {
  while (turn()) {
  }
}
int no_session(const vell_web_request *) { return k_wget_no_session; }
int not_launched(const char *) { return 1; }
int kept_in_place(const char *) { return 0; }
void *no_thread(vell_thread_func) { return nullptr; }
void no_handle(void *) {}
int not_watched(const char *) { return 1; }

// The modifiers read from the key states, for input backends without a
// modifier state of their own.
uint32_t modifiers_from_keys() {
  static const int32_t k_scancodes[6] = {224, 228, 226, 230, 227, 231};
  int count = 0;
  const uint8_t *keys = vell_backends.input.keys(&count);
  uint32_t bits = 0;
  for (int i = 0; i < 6; i++)
    if (k_scancodes[i] < count && keys[k_scancodes[i]]) bits |= 1u << i;
  return bits;
}

template <typename F>
void fill(F *&slot, F *stub) {
  if (!slot) slot = stub;
}

vell_video_out filled(vell_video_out t) {
  fill(t.desktop_size, no_size);
  fill(t.fit_window, keep_size);
  fill(t.open, no_window);
  fill(t.has_window, no);
  fill(t.present, no_page);
  fill(t.drawable_size, no_size);
  fill(t.window_size, no_size);
  fill(t.set_title, no_text);
  fill(t.set_icon, no_page);
  fill(t.close, nothing);
  fill(t.last_error, no_name);
  return t;
}

vell_input_devices filled(vell_input_devices t) {
  fill(t.start, nothing);
  fill(t.stop, nothing);
  fill(t.keys, no_keys);
  fill(t.modifiers, modifiers_from_keys);
  fill(t.poll, no_event);
  fill(t.mouse, no_mouse);
  fill(t.warp_mouse, no_point);
  fill(t.hide_cursor, nothing);
  fill(t.key_name, no_key_name);
  fill(t.pads_open, no_pads);
  fill(t.pads_close, nothing);
  fill(t.pad_count, no_count);
  fill(t.pad_buttons, no_buttons);
  fill(t.pad_read, no_pad);
  return t;
}

vell_audio_out filled(vell_audio_out t) {
  fill(t.open, no_device);
  fill(t.lock, nothing);
  fill(t.unlock, nothing);
  fill(t.close, nothing);
  return t;
}

vell_clipboard_store filled(vell_clipboard_store t) {
  fill(t.available, no);
  fill(t.set_text, no_text);
  fill(t.get_text, no_clipboard);
  return t;
}

vell_clock_source filled(vell_clock_source t) {
  fill(t.now_ms, clock_at_zero);
  fill(t.restart, nothing);
  fill(t.sleep_ms, no_sleep);
  fill(t.run_loop, loop_here);
  return t;
}

vell_web_client filled(vell_web_client t) {
  fill(t.get, no_session);
  fill(t.launch, not_launched);
  fill(t.offer, kept_in_place);
  return t;
}

vell_thread_runner filled(vell_thread_runner t) {
  fill(t.start, no_thread);
  fill(t.detach, no_handle);
  fill(t.join, no_handle);
  return t;
}

vell_file_watch filled(vell_file_watch t) {
  fill(t.start, not_watched);
  fill(t.poll, no);
  fill(t.stop, nothing);
  return t;
}

// One choice of a backend for every service.
struct backend_set {
  const vell_video_out *video;
  const vell_input_devices *input;
  const vell_audio_out *audio;
  const vell_clipboard_store *clipboard;
  const vell_clock_source *clock;
  const vell_web_client *web;
  const vell_thread_runner *threads;
  const vell_file_watch *watch;  // null: nothing can be watched
};

backend_set headless_set() {
  return {vell_headless_video(), vell_headless_input(), vell_headless_audio(), vell_headless_clipboard(),
          vell_headless_clock(), vell_desktop_web(),    vell_desktop_threads(), nullptr};
}

backend_set sdl_set() {
#ifdef __EMSCRIPTEN__
  // In a browser tab: SDL's window, keys and sound adapted to the page, the
  // browser's clock, loop, requests and single thread.
  return {vell_web_video(), vell_sdl_input(), vell_web_audio(),    vell_sdl_clipboard(),
          vell_web_clock(), vell_web_requests(), vell_web_threads(), nullptr};
#else
  return {vell_sdl_video(), vell_sdl_input(), vell_sdl_audio(),    vell_sdl_clipboard(),
          vell_sdl_clock(), vell_desktop_web(), vell_desktop_threads(), vell_desktop_watch()};
#endif
}

// The headless input with the SDL library's key names: they are a table
// inside the library, which is loaded only when a name is asked for (the
// key configuration screen), and need no device.
vell_input_devices headless_input() {
  vell_input_devices t = *vell_headless_input();
  t.key_name = vell_sdl_input()->key_name;
  return t;
}

vell_backend_registry registry_of(const backend_set &s) {
  vell_input_devices input = s.input == vell_headless_input() ? headless_input() : *s.input;
  return {filled(*s.video),     filled(input),     filled(*s.audio),   filled(*s.clipboard),
          filled(*s.clock),     filled(*s.web),    filled(*s.threads),
          filled(s.watch ? *s.watch : vell_file_watch{})};
}

enum : uint32_t {
  k_video = 1, k_input = 2, k_audio = 4, k_clipboard = 8, k_clock = 16, k_web = 32, k_threads = 64, k_watch = 128,
};

struct registry_state {
  uint32_t installed = 0;  // services whose table a *_use call chose; the start keeps them
};

registry_state g_registry;

// Installs a table a *_use call gave, or (null) the headless one and hands
// the choice back to the start.
template <typename T>
void use(T &slot, const T *backend, const T &headless, uint32_t bit) {
  slot = filled(backend ? *backend : headless);
  if (backend) g_registry.installed |= bit;
  else g_registry.installed &= ~bit;
}

}  // namespace

vell_backend_registry vell_backends = registry_of(headless_set());

void vell_video_out_use(const vell_video_out *b) { use(vell_backends.video, b, *vell_headless_video(), k_video); }
void vell_input_devices_use(const vell_input_devices *b) {
  use(vell_backends.input, b, headless_input(), k_input);
}
void vell_audio_out_use(const vell_audio_out *b) { use(vell_backends.audio, b, *vell_headless_audio(), k_audio); }
void vell_clipboard_store_use(const vell_clipboard_store *b) {
  use(vell_backends.clipboard, b, *vell_headless_clipboard(), k_clipboard);
}
void vell_clock_source_use(const vell_clock_source *b) { use(vell_backends.clock, b, *vell_headless_clock(), k_clock); }
void vell_web_client_use(const vell_web_client *b) { use(vell_backends.web, b, *vell_desktop_web(), k_web); }
void vell_thread_runner_use(const vell_thread_runner *b) {
  use(vell_backends.threads, b, *vell_desktop_threads(), k_threads);
}
void vell_file_watch_use(const vell_file_watch *b) { use(vell_backends.watch, b, vell_file_watch{}, k_watch); }

namespace {

// Replaces the services not installed by a *_use call with those of the
// chosen set. A table is written only when it changes: a download worker
// left running by a previous run may still be reading the web client's.
void switch_to(const vell_backend_registry &chosen) {
  const uint32_t keep = g_registry.installed;
  auto assign = [keep](auto &slot, const auto &table, uint32_t bit) {
    if (!(keep & bit) && memcmp(&slot, &table, sizeof table) != 0) slot = table;
  };
  assign(vell_backends.video, chosen.video, k_video);
  assign(vell_backends.input, chosen.input, k_input);
  assign(vell_backends.audio, chosen.audio, k_audio);
  assign(vell_backends.clipboard, chosen.clipboard, k_clipboard);
  assign(vell_backends.clock, chosen.clock, k_clock);
  assign(vell_backends.web, chosen.web, k_web);
  assign(vell_backends.threads, chosen.threads, k_threads);
  assign(vell_backends.watch, chosen.watch, k_watch);
}

}  // namespace

void vell_backends_start(int headless) {
  switch_to(registry_of(headless ? headless_set() : sdl_set()));
  vell_backends.input.start();
}

void vell_backends_stop() {
  vell_backends.input.stop();
  switch_to(registry_of(headless_set()));
}
