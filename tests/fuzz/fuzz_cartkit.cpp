// Feeds arbitrary files to orrery-cart's readers: the first byte picks the
// reader (sprite sheet or label picture, CSV or TMX map, flags, the sound
// and music notation, a MIDI file), the rest is the file. Nothing may
// crash or read outside its buffers, and a refused file must leave the
// cartridge exactly as it was.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "machine/cart.h"
#include "shell/resources.h"
#include "tools/cartkit/cart_file.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/midi_import.h"
#include "tools/cartkit/sheet_png.h"
#include "tools/cartkit/sound_text.h"
#include "tools/cartkit/tile_map.h"

static std::string g_folder;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (orrery_load_resources(ORRERY_FUZZ_PROGRAM_FOLDER "data.pod") != 0) abort();
  vell_set_engine_palette(orrery_resource_palette());
  char name[] = "/tmp/fuzz-cartkit-XXXXXX";
  if (!mkdtemp(name)) abort();
  g_folder = name;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  static const char *const k_ext[] = {".png", ".png", ".csv", ".tmx", ".csv", ".txt", ".txt", ".mid"};
  const int reader = data[0] % 8;
  const std::string path = g_folder + "/in" + k_ext[reader];
  const std::string body(reinterpret_cast<const char *>(data + 1), size - 1);
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) abort();
  fwrite(body.data(), 1, body.size(), f);
  fclose(f);

  orrery_cart *cart = vell_create_orrery_cart();
  orrery_cart *before = vell_create_orrery_cart();
  std::string message;
  cartkit_picture_options pictures;
  pictures.nearest = size % 2;
  cartkit_midi_options midi;
  midi.force = true;
  int r = 0;
  switch (reader) {
    case 0: r = cartkit_gfx_import(cart, path, pictures, &message); break;
    case 1: r = cartkit_label_import(cart, path, pictures, &message); break;
    case 2:
    case 3: r = cartkit_map_import(cart, path, &message); break;
    case 4: r = cartkit_flags_import(cart, path, &message); break;
    case 5: r = cartkit_parse_sfx(body, cart, &message); break;
    case 6: r = cartkit_parse_music(body, cart, &message); break;
    default: r = cartkit_music_import_midi(cart, path, midi, &message); break;
  }
  if (r != CARTKIT_OK && (cartkit_changed_sections(cart, before) != 0 || message.empty())) abort();
  vell_destroy_orrery_cart(cart);
  vell_destroy_orrery_cart(before);
  unlink(path.c_str());
  return 0;
}
