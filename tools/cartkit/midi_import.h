// Standard MIDI files into sound effects and music patterns.
//
// Each track with notes becomes a channel (a track that plays on several
// MIDI channels gives one channel for each); the first four are kept, in
// track order. Time is cut into notes of speed x 183 / 22050 s; a note
// starts at the nearest note boundary and lasts at least one note. A
// channel plays one note at a time: of notes that start together the
// highest is kept, and a note ends where the channel's next note starts.
// MIDI note 36 is c2 (pitch 0), so 69 is a4 (pitch 33); notes outside
// pitch 0-63 are moved by whole octaves into range. Velocity 1-127 gives
// volume 1-7. Waveforms by channel: square, tri, pulse, organ; MIDI channel
// 10 (drums) plays noise. Every 32 notes of a channel make a sound
// (equal stretches share one sound; a silent stretch leaves the channel
// off) and every 32 notes of the song a pattern. The first pattern is a
// loop start and the last loops back to it, unless once is set: then the
// last stops the music. A song longer than the free sounds or patterns is
// cut at the last pattern that fits, and the report says where.
#pragma once

#include <string>

struct orrery_cart;

struct cartkit_midi_options {
  int speed = 0;          // ticks of 183 samples per note; 0 picks one from the file's tempo
  int first_sfx = 0;      // sounds are written from this number on
  int first_pattern = 0;  // patterns are written from this number on
  bool force = false;     // write over sounds and patterns that are not empty
  bool once = false;      // the last pattern stops the music instead of looping back to the first
};

// music import of a .mid file: up to four tracks with notes become the four
// channels, quantised to the note length; message reports what was
// written and what was dropped (notes of a chord, notes out of range,
// tracks past four, the end of a song past the last sound).
int cartkit_music_import_midi(orrery_cart *cart, const std::string &path, const cartkit_midi_options &options,
                              std::string *message);
