#include "tools/cartkit/midi_import.h"

#include "tools/cartkit/cartkit.h"

// Placeholder until MIDI import is written.
int cartkit_music_import_midi(orrery_cart *, const std::string &, const cartkit_midi_options &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
