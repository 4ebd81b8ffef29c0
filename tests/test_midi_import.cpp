// MIDI import: songs written here byte by byte become the sounds and
// patterns they should, and files that are not songs are refused with the
// cartridge left as it was.
#include "support/test.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/midi_import.h"

namespace {

// One MIDI event at an absolute time in pulses.
struct midi_event {
  uint32_t pulse;
  std::vector<uint8_t> bytes;
};

void put_varlen(std::string *out, uint32_t v) {
  std::string rev(1, static_cast<char>(v & 127));
  while (v >>= 7) rev += static_cast<char>(0x80 | (v & 127));
  out->append(rev.rbegin(), rev.rend());
}

void put32(std::string *out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) *out += static_cast<char>(v >> s);
}

std::string track_chunk(std::vector<midi_event> events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const midi_event &a, const midi_event &b) { return a.pulse < b.pulse; });
  std::string body;
  uint32_t now = 0;
  for (const midi_event &e : events) {
    put_varlen(&body, e.pulse - now);
    now = e.pulse;
    body.append(e.bytes.begin(), e.bytes.end());
  }
  body += std::string("\x00\xff\x2f\x00", 4);
  std::string chunk = "MTrk";
  put32(&chunk, static_cast<uint32_t>(body.size()));
  return chunk + body;
}

// A format 1 file at 96 pulses per quarter note (a sixteenth is 24 pulses).
std::string midi_file(const std::vector<std::string> &tracks) {
  std::string f = "MThd";
  put32(&f, 6);
  f += std::string("\x00\x01", 2);
  f += static_cast<char>(tracks.size() >> 8);
  f += static_cast<char>(tracks.size());
  f += std::string("\x00\x60", 2);
  for (const std::string &t : tracks) f += t;
  return f;
}

// A note of key at sixteenth `at` lasting `len` sixteenths, on MIDI channel ch (0-15).
void note(std::vector<midi_event> *t, int at, int len, int key, int velocity = 100, int ch = 0) {
  t->push_back({static_cast<uint32_t>(at * 24), {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(key),
                                                 static_cast<uint8_t>(velocity)}});
  t->push_back({static_cast<uint32_t>((at + len) * 24), {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0}});
}

std::vector<midi_event> named(const std::string &name) {
  std::vector<uint8_t> b = {0xff, 0x03, static_cast<uint8_t>(name.size())};
  b.insert(b.end(), name.begin(), name.end());
  return {{0, b}};
}

struct imported {
  cart_ptr cart{vell_create_orrery_cart()};
  int result = -1;
  std::string message;
};

imported import(const std::string &bytes, const cartkit_midi_options &options = {}) {
  temp_folder dir;
  write_file(dir / "song.mid", bytes);
  imported r;
  r.result = cartkit_music_import_midi(r.cart.get(), dir / "song.mid", options, &r.message);
  return r;
}

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(MidiImport, MelodyBecomesNotesAtTheSpeedOfASixteenth) {
  std::vector<midi_event> t = named("Lead");
  note(&t, 0, 2, 60, 127);  // c4: pitch 24, full volume
  note(&t, 4, 1, 69, 64);   // a4: pitch 33
  note(&t, 8, 1, 30);       // below c2: an octave up, pitch 6
  note(&t, 12, 2, 60);      // a chord: only g4 (pitch 31) stays
  note(&t, 12, 2, 64);
  note(&t, 12, 2, 67);
  note(&t, 16, 4, 100, 1);  // above d#7: an octave down, pitch 52
  note(&t, 18, 1, 48);      // cuts the held note short
  note(&t, 70, 1, 62);      // the third stretch of 32; the second is silent
  const imported r = import(midi_file({track_chunk(t)}));
  ASSERT_EQ(r.result, CARTKIT_OK) << r.message;
  // 120 bpm, no tempo event: a sixteenth is 0.125 s, nearest 15 ticks of 183 samples.
  EXPECT_TRUE(has(r.message, "1 channel at speed 15 (nearest a sixteenth note at 120 bpm)")) << r.message;
  EXPECT_TRUE(has(r.message, "patterns 0-2, sounds 0-2")) << r.message;
  EXPECT_TRUE(has(r.message, "dropped: 2 lower notes of chords")) << r.message;
  EXPECT_TRUE(has(r.message, "moved by octaves into range: 2 notes")) << r.message;
  const orrery_sfx &s = r.cart->sfx[0];
  EXPECT_EQ(s.speed, 15);
  // Slot, pitch, volume (0 for a rest); the channel plays square waves.
  const int want[][3] = {{0, 24, 7}, {1, 24, 7}, {2, 0, 0},  {4, 33, 4},  {5, 0, 0},  {8, 6, 6},
                         {12, 31, 6}, {13, 31, 6}, {16, 52, 1}, {17, 52, 1}, {18, 12, 6}, {19, 0, 0}};
  for (const auto &w : want) {
    const orrery_note &n = s.notes[w[0]];
    EXPECT_EQ(n.pitch, w[1]) << "slot " << w[0];
    EXPECT_EQ(n.volume, w[2]) << "slot " << w[0];
    EXPECT_EQ(n.waveform, w[2] ? 3 : 0) << "slot " << w[0];
  }
  // The silent middle stretch keeps time with a silent sound: a pattern
  // with every channel off would end the music there.
  expect_rows({ROW(r.cart->music[0].channel[0], 0), ROW(r.cart->music[0].channel[1], 0x42),
               ROW(r.cart->music[0].flags, 1), ROW(r.cart->music[1].channel[0], 1), ROW(r.cart->sfx[1].notes[5].volume, 0),
               ROW(r.cart->music[2].channel[0], 2), ROW(r.cart->music[2].flags, 2), ROW(r.cart->sfx[2].notes[6].pitch, 26),
               ROW(r.cart->music[3].channel[0], 0x41), ROW(r.cart->sfx[3].speed, 16)});
}

TEST(MidiImport, TracksBecomeChannels) {
  std::vector<midi_event> conductor = {{0, {0xff, 0x51, 0x03, 0x07, 0xa1, 0x20}}};  // 500000 us: 120 bpm
  std::vector<midi_event> bass = named("Bass"), drums, lead = named("Lead");
  for (int bar = 0; bar < 2; bar++) {
    note(&bass, bar * 64, 8, 36);  // the same 32 eighths twice: one sound for both
    note(&drums, bar * 64 + 4, 1, 38, 100, 9);
  }
  note(&lead, 80, 1, 72);
  std::vector<std::string> tracks = {track_chunk(conductor), track_chunk(bass), track_chunk(drums), track_chunk(lead)};
  for (const char *name : {"Pad", "Strings"}) {
    std::vector<midi_event> t = named(name);
    note(&t, 0, 1, 50);
    tracks.push_back(track_chunk(t));
  }
  cartkit_midi_options options;
  options.speed = 30;  // eighth notes: every position halves
  options.first_sfx = 10;
  options.first_pattern = 3;
  options.once = true;
  const imported r = import(midi_file(tracks), options);
  ASSERT_EQ(r.result, CARTKIT_OK) << r.message;
  EXPECT_TRUE(has(r.message, "4 channels at speed 30, ")) << r.message;
  EXPECT_TRUE(has(r.message, "patterns 3-4, sounds 10-")) << r.message;
  EXPECT_TRUE(has(r.message, "the last pattern stops the music")) << r.message;
  EXPECT_TRUE(has(r.message, "dropped (only four channels): track 6 'Strings'")) << r.message;
  const orrery_pattern &p = r.cart->music[3], &q = r.cart->music[4];
  expect_rows({ROW(p.channel[0], 10), ROW(q.channel[0], 10), ROW(p.channel[1], q.channel[1]), ROW(p.flags, 0),
               ROW(q.flags, 4), ROW(p.channel[2], 0x43), ROW(q.channel[2] < 64, 1), ROW(q.channel[3], 0x44),
               ROW(r.cart->sfx[10].notes[3].pitch, 0), ROW(r.cart->sfx[10].notes[4].volume, 0),
               ROW(r.cart->sfx[10].notes[0].waveform, 3), ROW(r.cart->sfx[p.channel[1]].notes[2].waveform, 6),
               ROW(r.cart->sfx[q.channel[2]].notes[8].pitch, 36), ROW(r.cart->sfx[q.channel[2]].notes[8].waveform, 4)});
}

TEST(MidiImport, RefusalsLeaveTheCartridgeAsItWas) {
  std::vector<midi_event> t;
  note(&t, 0, 4, 60);
  const std::string song = midi_file({track_chunk(t)});
  std::string bad_event = song;
  bad_event[song.size() - 11] = 0x40;  // running status before any status byte
  std::string frames = song;
  frames[12] = static_cast<char>(0xe7);  // 25 frames a second
  cartkit_midi_options at_busy;
  at_busy.first_sfx = 1;
  cartkit_midi_options bad_speed;
  bad_speed.speed = 256;
  const std::tuple<const char *, std::string, cartkit_midi_options, int, const char *> cases[] = {
      {"no notes", midi_file({track_chunk({{0, {0xff, 0x51, 0x03, 0x07, 0xa1, 0x20}}})}), {}, CARTKIT_REFUSED,
       "the song has no notes"},
      {"truncated", song.substr(0, song.size() - 6), {}, CARTKIT_REFUSED, "truncated: track 1 needs"},
      {"a track missing", song.substr(0, 14), {}, CARTKIT_REFUSED, "truncated: 1 of its tracks are missing"},
      {"not MIDI", "hello, this is text", {}, CARTKIT_REFUSED, "not a MIDI file"},
      {"a bad event", bad_event, {}, CARTKIT_REFUSED,
       "track 1 is damaged: a data byte stands where an event should start"},
      {"no end mark", midi_file({std::string("MTrk\0\0\0\x04\0\x90\x3c\x64", 12)}), {}, CARTKIT_REFUSED,
       "track 1 is damaged: it has no end mark"},
      {"frames", frames, {}, CARTKIT_REFUSED, "counted in frames"},
      {"sound 1 in use", song, at_busy, CARTKIT_REFUSED, "would write over sound 1, which is not empty"},
      {"speed 256", song, bad_speed, CARTKIT_USAGE, "the speed is 1-255"},
  };
  for (const auto &c : cases) {
    temp_folder dir;
    write_file(dir / "song.mid", std::get<1>(c));
    cart_ptr cart(load_q7_text("orrery cartridge\nversion 12\n__sfx__\n00100000" + std::string(5, '0') +
                               "\n0010000018" + std::string(158, '0') + "\n"));
    ASSERT_TRUE(cart);
    const std::string before = save_q7_text(cart.get());
    std::string m;
    EXPECT_EQ(cartkit_music_import_midi(cart.get(), dir / "song.mid", std::get<2>(c), &m), std::get<3>(c))
        << std::get<0>(c) << ": " << m;
    EXPECT_TRUE(has(m, std::get<4>(c))) << std::get<0>(c) << ": " << m;
    EXPECT_EQ(save_q7_text(cart.get()), before) << std::get<0>(c);
    if (std::get<0>(c) == std::string("sound 1 in use")) {
      cartkit_midi_options force = at_busy;
      force.force = true;
      EXPECT_EQ(cartkit_music_import_midi(cart.get(), dir / "song.mid", force, &m), CARTKIT_OK) << m;
      EXPECT_EQ(cart->sfx[1].notes[3].pitch, 24);
    }
  }
}
