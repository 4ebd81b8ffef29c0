// cart-snap: runs a cartridge headless on a simulated clock, pressing
// buttons on a script, and keeps what its screen shows at the end: as a PNG
// picture, as the cartridge's own label, or both.
//
//   cart-snap CART.q7 FRAMES [-keys SCRIPT] [-png OUT.png [SCALE]] [-label] [-home DIR]
//
// FRAMES counts sixtieths of a second (a 30 frames-per-second cartridge
// runs FRAMES / 2 frames); they pass as fast as the machine allows. SCRIPT
// is a comma-separated list of FRAME:BUTTONS[:LENGTH] (LENGTH defaults to
// 2): from sixtieth FRAME the buttons are held for LENGTH sixtieths.
// BUTTONS are letters l r u d o x p for player 0 (p is pause) and L R U D O
// X for player 1. -label writes the final screen into CART.q7 as its
// __label__ section. The console's home folder is DIR (kept afterwards, so
// cartridge data carries over to the next run) or a temporary folder
// removed at the end. Errors and console output print as "** " lines; the
// exit status is 1 when the program stopped before the end, 2 on bad usage.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/png_image.h"
#include "platform/system.h"
#include "platform/backends.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/hooks.h"
#include "shell/main_loop.h"
#include "shell/resources.h"

namespace {

uint32_t g_now = 1000;
uint8_t g_keys[512];

uint32_t clock_now() { return g_now; }
const uint8_t *key_source(int *count) {
  *count = 512;
  return g_keys;
}

struct press {
  int32_t from, length;
  std::vector<int32_t> scancodes;
};

// The default key of each button letter.
int32_t scancode_for(char c) {
  switch (c) {
    case 'l': return 80;
    case 'r': return 79;
    case 'u': return 82;
    case 'd': return 81;
    case 'o': return 29;
    case 'x': return 27;
    case 'p': return 19;
    case 'L': return 22;
    case 'R': return 9;
    case 'U': return 8;
    case 'D': return 7;
    case 'O': return 225;
    case 'X': return 4;
    default: return -1;
  }
}

bool parse_script(const std::string &text, std::vector<press> *out) {
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    press p{0, 2, {}};
    char buttons[32] = "";
    const int n = sscanf(item.c_str(), "%d:%31[a-zA-Z]:%d", &p.from, buttons, &p.length);
    if (n < 2) return false;
    for (const char *c = buttons; *c; c++) {
      const int32_t sc = scancode_for(*c);
      if (sc < 0) return false;
      p.scancodes.push_back(sc);
    }
    out->push_back(p);
  }
  return true;
}

// The screen as the player sees it: each pixel through the screen palette.
int32_t shown(int32_t x, int32_t y) { return pstate.screen_pal[vell_getpixel(pstate.screen, x, y) & 15] & 15; }

int write_png(const char *path, int32_t scale) {
  const uint8_t *pal = orrery_resource_palette();
  vell_rgba_image img;
  img.width = img.height = 128 * scale;
  img.pixels.resize(static_cast<size_t>(img.width) * img.height * 4);
  for (int32_t y = 0; y < img.height; y++)
    for (int32_t x = 0; x < img.width; x++) {
      const int32_t c = shown(x / scale, y / scale);
      uint8_t *p = &img.pixels[(static_cast<size_t>(y) * img.width + x) * 4];
      p[0] = pal[c * 3];
      p[1] = pal[c * 3 + 1];
      p[2] = pal[c * 3 + 2];
      p[3] = 255;
    }
  return vell_png_write_file(path, img);
}

// Rewrites the cartridge file with the screen as its label, where the
// console's own saver puts it: right after the sprite sheet's rows, or,
// without a sprite sheet, in front of the first section after the code (or
// at the end). An old label section is dropped.
int write_label(const char *path) {
  std::string text;
  if (vell_read_file(path, 1u << 20, &text) != VELL_READ_OK) return 1;
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  auto is = [](const std::string &l, const char *m) { return l.compare(0, strlen(m), m) == 0; };
  auto marker = [&](const std::string &l) {
    for (const char *m : {"__lua__", "__gfx__", "__gff__", "__map__", "__sfx__", "__music__", "__label__"})
      if (is(l, m)) return true;
    return false;
  };
  std::vector<std::string> out;
  bool old_label = false;
  for (const std::string &line : lines) {
    if (marker(line)) old_label = is(line, "__label__");
    else if (line.empty()) old_label = false;
    if (!old_label) out.push_back(line);
  }
  size_t at = out.size();
  bool in_gfx = false, after_code = false;
  for (size_t i = 0; i < out.size(); i++) {
    if (in_gfx && (out[i].empty() || marker(out[i]))) {
      at = i;
      break;
    }
    if (marker(out[i])) {
      if (after_code && !is(out[i], "__gfx__")) {
        at = i;
        break;
      }
      in_gfx = is(out[i], "__gfx__");
      after_code = true;
    }
  }
  std::vector<std::string> label = {"__label__"};
  for (int32_t y = 0; y < 128; y++) {
    std::string row;
    for (int32_t x = 0; x < 128; x++) row += "0123456789abcdef"[shown(x, y)];
    label.push_back(row);
  }
  out.insert(out.begin() + static_cast<long>(at), label.begin(), label.end());
  std::string result;
  for (const std::string &line : out) result += line + "\n";
  return vell_write_file_replacing(path, result.data(), result.size()) == 0 ? 0 : 1;
}

int usage() {
  fprintf(stderr, "usage: cart-snap CART.q7 FRAMES [-keys SCRIPT] [-png OUT.png [SCALE]] [-label] [-home DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) return usage();
  const char *cart = argv[1];
  const int32_t frames = atoi(argv[2]);
  std::vector<press> script;
  const char *png = nullptr;
  int32_t scale = 1;
  bool label = false;
  std::string home;
  for (int i = 3; i < argc; i++) {
    if (!strcmp(argv[i], "-keys") && i + 1 < argc) {
      if (!parse_script(argv[++i], &script)) return usage();
    } else if (!strcmp(argv[i], "-png") && i + 1 < argc) {
      png = argv[++i];
      if (i + 1 < argc && argv[i + 1][0] != '-') scale = std::max(1, std::min(8, atoi(argv[++i])));
    } else if (!strcmp(argv[i], "-home") && i + 1 < argc) {
      home = argv[++i];
    } else if (!strcmp(argv[i], "-label")) {
      label = true;
    } else {
      return usage();
    }
  }

  // (The console ends the process when it cannot load the cartridge, which
  // would leave a temporary home behind.)
  std::error_code ec;
  if (!std::filesystem::is_regular_file(cart, ec)) {
    fprintf(stderr, "cart-snap: no cartridge %s\n", cart);
    return 1;
  }
  // No window and no sound device: nothing of the run reaches the desktop.
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  bool temporary_home = false;
  if (home.empty()) {
    std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/cart-snap-XXXXXX";
    if (!mkdtemp(&pattern[0])) return 1;
    home = pattern;
    temporary_home = true;
  }
  std::filesystem::create_directories(home, ec);
  {
    vell_clock_source clock = vell_backends.clock;  // keeps real sleeping
    clock.now_ms = clock_now;
    vell_clock_source_use(&clock);
  }
  {
    vell_input_devices input = vell_backends.input;
    input.keys = key_source;
    input.modifiers = nullptr;  // read from the keys
    vell_input_devices_use(&input);
  }
  const char *args[] = {"orrery", "-home", home.c_str(), "-headless", "1", "-foreground_sleep_ms", "0",
                        "-background_sleep_ms", "0", "-sound", "0", "-x", cart};
  orrery_install_hooks();
  vell_main_init(static_cast<int>(sizeof args / sizeof *args), args);

  // Iterations of 17, 17 and 16 ms: sixty a second.
  int32_t stopped_at = -1;
  for (int32_t t = 0; t < frames; t++) {
    memset(g_keys, 0, sizeof g_keys);
    for (const press &p : script)
      if (t >= p.from && t < p.from + p.length)
        for (int32_t sc : p.scancodes) g_keys[sc] = 1;
    g_now += t % 3 == 2 ? 16 : 17;
    vell_main_iteration();
    if (vell_state.quit) {
      stopped_at = t;
      break;
    }
  }
  int rc = 0;
  if (stopped_at >= 0) {
    printf("cart-snap: the program stopped after %d sixtieths\n", stopped_at);
    rc = 1;
  }
  if (png && write_png(png, scale) != 0) {
    fprintf(stderr, "cart-snap: could not write %s\n", png);
    rc = 1;
  }
  if (label && rc == 0 && write_label(cart) != 0) {
    fprintf(stderr, "cart-snap: could not rewrite %s\n", cart);
    rc = 1;
  }
  vell_exit();
  if (temporary_home) std::filesystem::remove_all(home, ec);
  return rc;
}
