// Standard MIDI files into sound effects and music patterns.
#pragma once

#include <string>

struct orrery_cart;

struct cartkit_midi_options {
  int speed = 0;          // ticks of 183 samples per note; 0 picks one from the file's tempo
  int first_sfx = 0;      // sounds are written from this number on
  int first_pattern = 0;  // patterns are written from this number on
  bool force = false;     // write over sounds and patterns that are not empty
};

// music import of a .mid file: up to four tracks with notes become the four
// channels, quantised to the note length; message reports what was
// written and what was dropped (notes of a chord, notes out of range,
// tracks past four, the end of a song past the last sound).
int cartkit_music_import_midi(orrery_cart *cart, const std::string &path, const cartkit_midi_options &options,
                              std::string *message);
