// orrery-cart: makes and inspects cartridges from the files authors already
// use: pictures for the sprite sheet and the label, tile maps, a text
// notation for sounds and music, MIDI files. Every import changes only its
// own sections of the cartridge and writes the file through a temporary
// file and a rename; see `orrery-cart --help`.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/cartkit/cart_file.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/midi_import.h"
#include "tools/cartkit/sheet_png.h"
#include "tools/cartkit/sound_text.h"
#include "tools/cartkit/tile_map.h"

namespace {

const char *const k_help =
    "usage: orrery-cart COMMAND ...\n"
    "\n"
    "  info CART              characters, tokens, compressed size and the data in\n"
    "                         use; status 1 when the code would not fit a picture\n"
    "  gfx import CART SHEET.png [--map-half] [--nearest]\n"
    "  gfx export CART SHEET.png [--map-half]\n"
    "                         the sprite sheet as a 128x128 (or 128x64) picture\n"
    "  map import CART MAP.csv|MAP.tmx\n"
    "                         a map from Tiled: CSV, or TMX with CSV layers\n"
    "  map export CART MAP.csv [--full]\n"
    "                         map rows 0-31 (all 64 with --full)\n"
    "  flags import CART FLAGS.csv\n"
    "  flags export CART FLAGS.csv\n"
    "                         sprite flags: 16 rows of 16 values\n"
    "  label import CART PICTURE.png [--nearest]\n"
    "  label export CART PICTURE.png\n"
    "                         the 128x128 label\n"
    "  sfx import CART SOUNDS.txt\n"
    "  sfx export CART SOUNDS.txt\n"
    "                         sound effects in the text notation\n"
    "  music import CART SONG.txt\n"
    "  music export CART SONG.txt\n"
    "                         music patterns in the text notation\n"
    "  music import CART SONG.mid [--speed N] [--first-sfx N] [--first-pattern N]\n"
    "                             [--once] [--force]\n"
    "                         a MIDI file: up to four tracks on the four channels\n"
    "  convert IN OUT [--force]\n"
    "                         .q7 to .q7.png or back\n"
    "\n"
    "CART is a .q7 or .q7.png file. Pictures are matched to the 16 console\n"
    "colours exactly; --nearest moves other colours to the nearest one.\n"
    "Exit status: 0 done, 1 an input refused (the cartridge is unchanged),\n"
    "2 a file could not be read or written, 3 a command line orrery-cart does\n"
    "not know. The manual's part \"Making cartridges\" describes every format.\n";

int usage(const char *why) {
  fprintf(stderr, "orrery-cart: %s\n(orrery-cart --help lists the commands)\n", why);
  return CARTKIT_USAGE;
}

// The options after the positional arguments.
struct tool_options {
  cartkit_picture_options picture;
  cartkit_midi_options midi;
  bool full = false;   // map export: all 64 rows
  bool force = false;  // convert: write over OUT
};

bool parse_number(const char *text, int low, int high, int *out) {
  char *end = nullptr;
  const long v = strtol(text, &end, 10);
  if (end == text || *end || v < low || v > high) return false;
  *out = static_cast<int>(v);
  return true;
}

// Options a command accepts, by name; number options take the next word.
int parse_options(const std::vector<std::string> &words, const std::vector<std::string> &allowed, tool_options *o) {
  for (size_t i = 0; i < words.size(); i++) {
    const std::string &w = words[i];
    bool ok = false;
    for (const std::string &a : allowed) ok = ok || a == w;
    if (!ok) return usage(("unknown option " + w).c_str());
    int *number = nullptr;
    int low = 0, high = 63;
    if (w == "--nearest") o->picture.nearest = true;
    if (w == "--map-half") o->picture.map_half = true;
    if (w == "--full") o->full = true;
    if (w == "--force") o->force = o->midi.force = true;
    if (w == "--speed") number = &o->midi.speed, low = 1, high = 255;
    if (w == "--once") o->midi.once = true;
    if (w == "--first-sfx") number = &o->midi.first_sfx;
    if (w == "--first-pattern") number = &o->midi.first_pattern;
    if (number && (i + 1 >= words.size() || !parse_number(words[++i].c_str(), low, high, number)))
      return usage((w + " takes a number from " + std::to_string(low) + " to " + std::to_string(high)).c_str());
  }
  return CARTKIT_OK;
}

// The import and export commands: which data, which way, the functions.
enum class way { import_, export_ };
struct data_command {
  const char *data;
  way direction;
  std::vector<std::string> options;
  int (*run)(orrery_cart *cart, const std::string &file, const tool_options &o, std::string *message);
};

const data_command k_commands[] = {
    {"gfx", way::import_, {"--map-half", "--nearest"},
     [](orrery_cart *c, const std::string &f, const tool_options &o, std::string *m) {
       return cartkit_gfx_import(c, f, o.picture, m);
     }},
    {"gfx", way::export_, {"--map-half"},
     [](orrery_cart *c, const std::string &f, const tool_options &o, std::string *m) {
       return cartkit_gfx_export(c, f, o.picture, m);
     }},
    {"map", way::import_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_map_import(c, f, m);
     }},
    {"map", way::export_, {"--full"},
     [](orrery_cart *c, const std::string &f, const tool_options &o, std::string *m) {
       return cartkit_map_export(c, f, o.full, m);
     }},
    {"flags", way::import_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_flags_import(c, f, m);
     }},
    {"flags", way::export_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_flags_export(c, f, m);
     }},
    {"label", way::import_, {"--nearest"},
     [](orrery_cart *c, const std::string &f, const tool_options &o, std::string *m) {
       return cartkit_label_import(c, f, o.picture, m);
     }},
    {"label", way::export_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_label_export(c, f, m);
     }},
    {"sfx", way::import_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_sfx_import(c, f, m);
     }},
    {"sfx", way::export_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_sfx_export(c, f, m);
     }},
    {"music", way::import_, {"--speed", "--first-sfx", "--first-pattern", "--once", "--force"},
     [](orrery_cart *c, const std::string &f, const tool_options &o, std::string *m) {
       const std::string ext = cartkit_extension(f);
       if (ext == ".mid" || ext == ".midi") return cartkit_music_import_midi(c, f, o.midi, m);
       return cartkit_music_import_text(c, f, m);
     }},
    {"music", way::export_, {},
     [](orrery_cart *c, const std::string &f, const tool_options &, std::string *m) {
       return cartkit_music_export(c, f, m);
     }},
};

void say(FILE *to, const std::string &text) {
  if (text.empty()) return;
  fputs(text.c_str(), to);
  if (text.back() != '\n') fputc('\n', to);
}

int run_data_command(const data_command &cmd, const std::string &cart_path, const std::string &file,
                     const tool_options &o) {
  cartkit_file cart;
  std::string message;
  int r = cartkit_open(cart_path, &cart, &message);
  if (r == CARTKIT_OK) r = cmd.run(cart.cart, file, o, &message);
  std::string report = message;
  if (r == CARTKIT_OK && cmd.direction == way::import_) {
    message.clear();
    r = cartkit_save(&cart, &message);
    if (r == CARTKIT_OK && !message.empty()) report += (report.empty() ? "" : "\n") + message;
    if (r != CARTKIT_OK) report = message;
  }
  cartkit_close(&cart);
  say(r == CARTKIT_OK ? stdout : stderr, r == CARTKIT_OK ? report : "orrery-cart: " + report);
  return r;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage("no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    fputs(k_help, stdout);
    return CARTKIT_OK;
  }
  std::string message;
  if (cartkit_load_resources(&message) != CARTKIT_OK) {
    fprintf(stderr, "orrery-cart: %s\n", message.c_str());
    return CARTKIT_IO;
  }
  const std::string &command = args[0];
  if (command == "info") {
    if (args.size() != 2) return usage("info takes one cartridge");
    const int r = cartkit_info(args[1], &message);
    say(r == CARTKIT_IO || message.rfind("file:", 0) != 0 ? stderr : stdout, message);
    return r;
  }
  if (command == "convert") {
    tool_options o;
    if (args.size() < 3) return usage("convert takes IN and OUT");
    if (int r = parse_options({args.begin() + 3, args.end()}, {"--force"}, &o)) return r;
    if (!o.force && args[1] != args[2] && vell_file_exists(args[2].c_str())) {
      fprintf(stderr, "orrery-cart: %s exists; add --force to write over it\n", args[2].c_str());
      return CARTKIT_REFUSED;
    }
    const int r = cartkit_convert(args[1], args[2], &message);
    say(r == CARTKIT_OK ? stdout : stderr, message);
    return r;
  }
  for (const data_command &cmd : k_commands) {
    if (command != cmd.data) continue;
    if (args.size() < 2 || (args[1] != "import" && args[1] != "export"))
      return usage((command + " takes import or export").c_str());
    const way direction = args[1] == "import" ? way::import_ : way::export_;
    if (cmd.direction != direction) continue;
    if (args.size() < 4) return usage((command + " " + args[1] + " takes CART and a file").c_str());
    tool_options o;
    if (int r = parse_options({args.begin() + 4, args.end()}, cmd.options, &o)) return r;
    return run_data_command(cmd, args[2], args[3], o);
  }
  return usage(("unknown command " + command).c_str());
}
