// Sound effects and music patterns in a readable text notation, to and
// from a cartridge without loss.
//
// Sound effects
//
//   # a word that begins with '#' starts a comment to the end of the line
//   sfx 3 speed 16 loop 0 8 wave tri vol 5
//   c3 d3 e3 f3/v7 g3*4 . . c#3/vib eb3/square/v3 p40/i2
//
// A block starts at a line whose first word is "sfx N" (N 0-63) and runs
// to the next such line. Its settings stand after "sfx N" or anywhere
// among the notes, each followed by its value:
//   speed S    ticks (1/120.5 s) per note, 0-255; 16 when not given
//   loop A B   loop start and end note, 0-255; 0 0 (no loop) when not given
//   mode M     the byte kept for editing tools, 0-255; 0 when not given
//   wave W     waveform of the notes after it; tri when not given
//   vol V      volume 0-7 of the notes after it; 5 when not given
//   fx E       effect of the notes after it; none when not given
// Then up to 32 notes; the notes not written are rests:
//   c2 ... d#7  note name, '#' sharp or 'b' flat, and octave: c2 is pitch 0,
//               a4 (440 Hz) is pitch 33, d#7 is pitch 63
//   pN          pitch N, 0-63
//   .           a rest: a silent note whose fields are all 0
//   NOTE/X/Y    the note with its own waveform, volume or effect (c3/v7/vib)
//   NOTE*N      the note N times (c3*4, .*8)
// Waveforms (0-7): tri tilt saw square pulse organ noise phaser; i0-i7
// plays the note through sound 0-7 as a custom instrument.
// Volumes: v0-v7 after a slash, a number after "vol".
// Effects (0-7): none slide vib drop fadein fadeout arpfast arpslow.
// A block replaces the whole sound: what it does not set takes the values
// above. Only the sounds that the text names change.
//
// Music patterns
//
//   # pattern flags channel-0 channel-1 channel-2 channel-3
//    0 l    16 17 18 19
//    1 b    16 17 20 19
//    8 s    24 25  -  -
//
// One line per pattern: its number 0-63, its flags, and the four channels.
// Flags are '-' (none) or letters: l loop start, b loop back, s stop,
// x the fourth flag bit, which playback ignores. A channel is a sound
// number 0-63, '-' for off, or -N for off keeping sound number N (what
// the channel value holds besides the off bit). 0xHH gives a flag set or a
// channel value as its raw byte. Only the patterns that the text names change.
#pragma once

#include <string>

struct orrery_cart;

// Parses the notation into the cartridge (only the sounds or patterns the
// text names are replaced); the cartridge is unchanged on failure, and
// message names the line and the fault. On success message lists what
// was replaced ("sounds 0-11, 16 replaced").
int cartkit_parse_sfx(const std::string &text, orrery_cart *cart, std::string *message);
int cartkit_parse_music(const std::string &text, orrery_cart *cart, std::string *message);
// The notation of every sound or pattern that differs from the empty
// cartridge's.
std::string cartkit_format_sfx(const orrery_cart *cart);
std::string cartkit_format_music(const orrery_cart *cart);

// The subcommands: sfx import/export and music import/export of text files.
int cartkit_sfx_import(orrery_cart *cart, const std::string &path, std::string *message);
int cartkit_sfx_export(const orrery_cart *cart, const std::string &path, std::string *message);
int cartkit_music_import_text(orrery_cart *cart, const std::string &path, std::string *message);
int cartkit_music_export(const orrery_cart *cart, const std::string &path, std::string *message);

// "0-3, 8, 10-11" for a sorted list of numbers.
std::string cartkit_number_ranges(const int *numbers, int count);
