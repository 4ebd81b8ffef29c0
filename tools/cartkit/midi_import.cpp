#include "tools/cartkit/midi_import.h"

#include <glib.h>  // before smf.h, which includes it inside extern "C"
#include <smf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "machine/cart.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/sound_text.h"

namespace {

constexpr int k_sample_rate = 22050;
constexpr int k_tick_samples = 183;
constexpr int k_channels = 4;
constexpr int k_drum_channel = 9;  // MIDI channel 10, counted from 0
constexpr int k_lowest_key = 36;   // MIDI note of pitch 0 (c2)
// Waveform of each console channel; drums play noise.
constexpr int k_channel_waves[k_channels] = {3, 0, 4, 5};
constexpr int k_noise = 6;
// No song can use more notes than 64 patterns of 32; later times are cut.
constexpr size_t k_midi_max = 2u << 20;  // longest MIDI file read; songs are far smaller
constexpr int k_max_slots = k_cart_pattern_count * k_cart_notes;

struct midi_note {
  double on, off;  // seconds from the start of the song; off < 0 while held
  int key;         // MIDI note number 0-127
  int velocity;    // 1-127
};

// The notes of one MIDI channel of one track.
struct midi_part {
  int track;
  int channel;  // 0-15
  std::vector<midi_note> notes;
};

// What libsmf reports through glib while a file loads, kept instead of
// printed so that the user sees one message of ours.
void keep_glib_message(const gchar *, GLogLevelFlags level, const gchar *text, gpointer data) {
  auto *first = static_cast<std::string *>(data);
  if (first->empty() && text && (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)))
    *first = text;
}

uint32_t be32(const std::string &d, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(d[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d[at + 2])) << 8 | static_cast<uint8_t>(d[at + 3]);
}

// A variable-length number (at most four bytes) at *at; false when it runs
// past the end or is longer.
bool read_varlen(const uint8_t *p, size_t n, size_t *at, uint32_t *value) {
  *value = 0;
  for (int k = 0; k < 4; k++) {
    if (*at >= n) return false;
    const uint8_t b = p[(*at)++];
    *value = *value << 7 | (b & 127);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Walks the events of one track chunk as the library will read them. The
// library stops with an assertion on a track that runs out without its
// end mark, so every event must be whole and the mark present before the
// events are handed to it. "" when the track is sound.
std::string track_fault(const uint8_t *p, size_t n) {
  size_t at = 0;
  int running = 0;      // the status byte a data byte continues, 0 after a meta or system event
  uint64_t pulses = 0;  // the track's length so far
  for (;;) {
    uint32_t delta = 0, length = 0;
    if (!read_varlen(p, n, &at, &delta)) return at >= n ? "it has no end mark" : "a time value is damaged";
    pulses += delta;
    if (pulses > (1u << 30)) return "it is longer than any song";
    if (at >= n) return "it has no end mark";
    int status = p[at];
    if (status & 0x80) at++;
    else if (running) status = running;
    else return "a data byte stands where an event should start";
    if (status == 0xff) {
      if (at >= n) return "it ends inside an event";
      const uint8_t type = p[at++];
      if (!read_varlen(p, n, &at, &length) || length > n - at) return "it ends inside an event";
      at += length;
      if (type == 0x2f) return "";
      running = 0;
    } else if (status == 0xf0 || status == 0xf7) {
      if (!read_varlen(p, n, &at, &length) || length > n - at) return "it ends inside an event";
      at += length;
      running = 0;
    } else if (status >= 0xf0) {
      return "it holds an event of unknown kind";
    } else {
      const size_t data = (status & 0xe0) == 0xc0 ? 1 : 2;  // program change and channel pressure have one
      if (data > n - at) return "it ends inside an event";
      for (size_t k = 0; k < data; k++)
        if (p[at + k] & 0x80) return "an event is damaged";
      at += data;
      running = status;
    }
  }
}

// Checks the chunk layout and every track before the library parses the
// file, so that a cut-off download or a damaged file gets a message that
// says what is wrong, and the library never meets what it cannot handle.
// "" when the file is sound.
std::string file_fault(const std::string &d) {
  if (d.size() < 14 || d.compare(0, 4, "MThd") != 0) return "not a MIDI file";
  const uint32_t head = be32(d, 4);
  if (head < 6 || head > d.size() - 8) return "not a MIDI file";
  const int tracks = static_cast<uint8_t>(d[10]) << 8 | static_cast<uint8_t>(d[11]);
  if (tracks == 0) return "the file holds no tracks";
  if (d[12] & 0x80) return "its time is counted in frames, not beats; save it with beats";
  size_t at = 8 + head;
  for (int t = 0; t < tracks;) {
    if (d.size() - at < 8) return "truncated: " + std::to_string(tracks - t) + " of its tracks are missing";
    const uint32_t length = be32(d, at + 4);
    if (length > d.size() - at - 8)
      return "truncated: track " + std::to_string(t + 1) + " needs " + std::to_string(length) + " bytes, " +
             std::to_string(d.size() - at - 8) + " remain";
    if (d.compare(at, 4, "MTrk") == 0) {
      const std::string fault = track_fault(reinterpret_cast<const uint8_t *>(d.data()) + at + 8, length);
      if (!fault.empty()) return "track " + std::to_string(t + 1) + " is damaged: " + fault;
      t++;
    }
    at += 8 + length;
  }
  return "";
}

// Reads the notes of every track and MIDI channel, in track order; the
// first tempo in microseconds per quarter note goes to *tempo.
std::vector<midi_part> read_parts(smf_t *smf, std::map<int, std::string> *names, int *tempo) {
  std::map<std::pair<int, int>, midi_part> parts;
  for (int t = 1; t <= smf->number_of_tracks; t++) {
    smf_track_t *track = smf_get_track_by_number(smf, t);
    if (!track) continue;
    for (int e = 1; e <= track->number_of_events; e++) {
      smf_event_t *event = smf_track_get_event_by_number(track, e);
      if (!event || event->midi_buffer_length < 1 || !event->midi_buffer) continue;
      const uint8_t *b = event->midi_buffer;
      const double time = event->time_seconds;
      if (b[0] == 0xff && event->midi_buffer_length >= 2 && b[1] == 0x03 && !names->count(t)) {
        char *text = smf_event_extract_text(event);
        if (text) (*names)[t] = text;
        free(text);
        continue;
      }
      if (event->midi_buffer_length < 3 || (b[0] & 0xe0) != 0x80) continue;
      const int channel = b[0] & 15, key = b[1] & 127, velocity = b[2] & 127;
      midi_part &part = parts[{t, channel}];
      part.track = t;
      part.channel = channel;
      if ((b[0] & 0xf0) == 0x90 && velocity > 0) {
        part.notes.push_back({time, -1, key, velocity});
        continue;
      }
      for (midi_note &n : part.notes)  // a note-off ends the oldest held note of its key
        if (n.key == key && n.off < 0) {
          n.off = time;
          break;
        }
    }
  }
  const double end = smf_get_length_seconds(smf);
  std::vector<midi_part> out;
  for (auto &p : parts) {
    if (p.second.notes.empty()) continue;
    for (midi_note &n : p.second.notes)
      if (n.off < 0) n.off = end;
    out.push_back(p.second);
  }
  const smf_tempo_t *first = smf_get_tempo_by_pulses(smf, 0);
  *tempo = first && first->microseconds_per_quarter_note > 0 ? first->microseconds_per_quarter_note : 500000;
  return out;
}

std::string part_name(const midi_part &p, const std::vector<midi_part> &all, const std::map<int, std::string> &names) {
  std::string s = "track " + std::to_string(p.track);
  auto name = names.find(p.track);
  if (name != names.end() && !name->second.empty()) s += " '" + name->second + "'";
  int same_track = 0;
  for (const midi_part &q : all) same_track += q.track == p.track;
  if (same_track > 1) s += " channel " + std::to_string(p.channel + 1);
  return s;
}

// Counts of what the conversion changed or left out, for the report.
struct import_counts {
  int chord_notes = 0;  // notes dropped because a higher one started with them
  int moved = 0;        // notes moved by octaves into pitch 0-63
};

// The note slots of one channel: each slot a note of the sound to be, or
// the all-zero rest.
std::vector<orrery_note> channel_slots(const midi_part &part, int console_channel, double note_seconds,
                                       import_counts *counts) {
  auto slot_of = [&](double seconds) {
    const double s = std::floor(seconds / note_seconds + 0.5);
    return s >= 0 ? (s < k_max_slots ? static_cast<int>(s) : k_max_slots) : 0;  // NaN gives 0
  };
  struct placed {
    int start, end, pitch, volume;
  };
  std::vector<placed> notes;
  for (const midi_note &n : part.notes) {
    const int start = slot_of(n.on);
    if (start >= k_max_slots) continue;
    int pitch = n.key - k_lowest_key;
    if (pitch < 0 || pitch > 63) {
      counts->moved++;
      while (pitch < 0) pitch += 12;
      while (pitch > 63) pitch -= 12;
    }
    notes.push_back({start, std::max(slot_of(n.off), start + 1), pitch, (n.velocity * 7 + 126) / 127});
  }
  // Earliest first; of notes that start together the highest first.
  std::stable_sort(notes.begin(), notes.end(), [](const placed &a, const placed &b) {
    return a.start != b.start ? a.start < b.start : a.pitch > b.pitch;
  });
  std::vector<placed> kept;
  for (const placed &n : notes) {
    if (!kept.empty() && kept.back().start == n.start) {
      counts->chord_notes++;
      continue;
    }
    if (!kept.empty()) kept.back().end = std::min(kept.back().end, n.start);
    kept.push_back(n);
  }
  std::vector<orrery_note> slots;
  const int wave = part.channel == k_drum_channel ? k_noise : k_channel_waves[console_channel];
  for (const placed &n : kept) {
    const int end = std::min(n.end, k_max_slots);
    if (static_cast<int>(slots.size()) < end) slots.resize(end, orrery_note{});
    for (int s = n.start; s < end; s++) slots[s] = orrery_note{n.pitch, wave, n.volume, 0, 0};
  }
  return slots;
}

bool same_sfx(const orrery_sfx &a, const orrery_sfx &b) {
  if (a.editor_mode != b.editor_mode || a.speed != b.speed || a.loop_start != b.loop_start ||
      a.loop_end != b.loop_end)
    return false;
  for (int i = 0; i < k_cart_notes; i++) {
    const orrery_note &x = a.notes[i], &y = b.notes[i];
    if (x.pitch != y.pitch || x.waveform != y.waveform || x.volume != y.volume || x.effect != y.effect ||
        x.custom != y.custom)
      return false;
  }
  return true;
}

// A sound with no notes and no loop holds nothing an author made (its
// speed alone does not count).
bool sfx_is_empty(const orrery_sfx &s) {
  if (s.editor_mode || s.loop_start || s.loop_end) return false;
  for (const orrery_note &n : s.notes)
    if (n.pitch || n.waveform || n.volume || n.effect || n.custom) return false;
  return true;
}

bool pattern_is_empty(const orrery_pattern &p) {
  if (p.flags) return false;
  for (int32_t v : p.channel)
    if (v < 64 || v > 127) return false;
  return true;
}

std::string seconds_text(double s) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.1f s", s);
  return buf;
}

}  // namespace

int cartkit_music_import_midi(orrery_cart *cart, const std::string &path, const cartkit_midi_options &options,
                              std::string *message) {
  if (options.speed < 0 || options.speed > 255 || options.first_sfx < 0 || options.first_sfx >= k_cart_sfx_count ||
      options.first_pattern < 0 || options.first_pattern >= k_cart_pattern_count) {
    *message = "the speed is 1-255 (0 to choose), the first sound and pattern 0-63";
    return CARTKIT_USAGE;
  }
  std::string data;
  if (cartkit_read_input(path, k_midi_max, &data, message) != CARTKIT_OK) return CARTKIT_IO;
  const std::string layout = file_fault(data);
  if (!layout.empty()) {
    *message = path + ": " + layout;
    return CARTKIT_REFUSED;
  }
  std::string library_says;
  const GLogFunc before = g_log_set_default_handler(keep_glib_message, &library_says);
  smf_t *smf = smf_load_from_memory(data.data(), static_cast<int>(data.size()));
  std::map<int, std::string> names;
  int tempo = 500000;
  std::vector<midi_part> parts;
  const bool loaded = smf != nullptr;
  if (loaded) {
    parts = read_parts(smf, &names, &tempo);
    smf_delete(smf);
  }
  g_log_set_default_handler(before, nullptr);
  if (!loaded) {
    *message = path + ": not a readable MIDI file" + (library_says.empty() ? "" : " (" + library_says + ")");
    return CARTKIT_REFUSED;
  }
  if (parts.empty()) {
    *message = path + ": the song has no notes";
    return CARTKIT_REFUSED;
  }

  // One note lasts speed ticks; without a speed given, the one nearest a
  // sixteenth note at the song's first tempo.
  int speed = options.speed;
  const double sixteenth = tempo / 4e6;
  if (speed == 0) speed = std::clamp(static_cast<int>(std::lround(sixteenth * k_sample_rate / k_tick_samples)), 1, 255);
  const double note_seconds = static_cast<double>(speed) * k_tick_samples / k_sample_rate;

  import_counts counts;
  std::vector<std::vector<orrery_note>> channels;
  const int used = std::min(static_cast<int>(parts.size()), k_channels);
  int slots = 0;
  for (int c = 0; c < used; c++) {
    channels.push_back(channel_slots(parts[c], c, note_seconds, &counts));
    slots = std::max(slots, static_cast<int>(channels.back().size()));
  }
  const int stretches = (slots + k_cart_notes - 1) / k_cart_notes;
  for (auto &ch : channels) ch.resize(stretches * k_cart_notes, orrery_note{});

  // Sounds and patterns, built aside: a pattern per stretch of 32 notes,
  // while patterns and new sounds still fit.
  std::vector<orrery_sfx> sounds;
  std::vector<orrery_pattern> patterns;
  const int free_sounds = k_cart_sfx_count - options.first_sfx;
  const int free_patterns = k_cart_pattern_count - options.first_pattern;
  const char *cut_by = nullptr;
  for (int k = 0; k < stretches; k++) {
    if (k >= free_patterns) {
      cut_by = "patterns";
      break;
    }
    std::vector<orrery_sfx> added = sounds;
    orrery_pattern p{{0x41, 0x42, 0x43, 0x44}, 0};
    bool all_silent = true;
    for (int c = 0; c < used; c++)
      for (int i = 0; i < k_cart_notes; i++) all_silent = all_silent && !channels[c][k * k_cart_notes + i].volume;
    for (int c = 0; c < used; c++) {
      orrery_sfx s{};
      s.speed = speed;
      bool silent = true;
      for (int i = 0; i < k_cart_notes; i++) {
        s.notes[i] = channels[c][k * k_cart_notes + i];
        silent = silent && !s.notes[i].volume;
      }
      // A silent stretch leaves the channel off, but a pattern whose
      // channels are all off would end the music: there channel 0 plays
      // a silent sound that keeps time.
      if (silent && !(all_silent && c == 0)) continue;
      size_t n = 0;
      while (n < added.size() && !same_sfx(added[n], s)) n++;
      if (n == added.size()) added.push_back(s);
      p.channel[c] = options.first_sfx + static_cast<int>(n);
    }
    if (static_cast<int>(added.size()) > free_sounds) {
      cut_by = "sounds";
      break;
    }
    sounds = added;
    patterns.push_back(p);
  }
  if (patterns.empty()) {
    *message = path + ": the first 32 notes of the song need more sounds than the " + std::to_string(free_sounds) +
               " from sound " + std::to_string(options.first_sfx) + " on";
    return CARTKIT_REFUSED;
  }
  if (options.once) {
    patterns.back().flags |= 4;
  } else {
    patterns.front().flags |= 1;
    patterns.back().flags |= 2;
  }

  std::vector<int> busy_sounds, busy_patterns;
  for (size_t i = 0; i < sounds.size(); i++)
    if (!sfx_is_empty(cart->sfx[options.first_sfx + i])) busy_sounds.push_back(options.first_sfx + static_cast<int>(i));
  for (size_t i = 0; i < patterns.size(); i++)
    if (!pattern_is_empty(cart->music[options.first_pattern + i]))
      busy_patterns.push_back(options.first_pattern + static_cast<int>(i));
  if (!options.force && (!busy_sounds.empty() || !busy_patterns.empty())) {
    const auto list = [](const char *one, const std::vector<int> &n) {
      return std::string(one) + (n.size() > 1 ? "s " : " ") + cartkit_number_ranges(n.data(), static_cast<int>(n.size()));
    };
    std::string what;
    if (!busy_sounds.empty()) what = list("sound", busy_sounds);
    if (!busy_patterns.empty()) what += (what.empty() ? "" : " and ") + list("pattern", busy_patterns);
    const bool one = busy_sounds.size() + busy_patterns.size() == 1;
    *message = path + ": the song would write over " + what + (one ? ", which is" : ", which are") +
               " not empty; choose free ones or use --force";
    return CARTKIT_REFUSED;
  }

  for (size_t i = 0; i < sounds.size(); i++) cart->sfx[options.first_sfx + i] = sounds[i];
  for (size_t i = 0; i < patterns.size(); i++) cart->music[options.first_pattern + i] = patterns[i];

  // The report: what was written, then what was left out or changed.
  const int last_pattern = options.first_pattern + static_cast<int>(patterns.size()) - 1;
  std::string report = path + ": " + std::to_string(used) + (used == 1 ? " channel" : " channels") + " at speed " +
                       std::to_string(speed);
  if (options.speed == 0)
    report += " (nearest a sixteenth note at " + std::to_string(static_cast<int>(std::lround(60e6 / tempo))) + " bpm)";
  report += ", " + seconds_text(patterns.size() * k_cart_notes * note_seconds) + ": patterns " +
            std::to_string(options.first_pattern) +
            (last_pattern > options.first_pattern ? "-" + std::to_string(last_pattern) : "") + ", sounds " +
            std::to_string(options.first_sfx) +
            (sounds.size() > 1 ? "-" + std::to_string(options.first_sfx + sounds.size() - 1) : "");
  report += options.once ? "; the last pattern stops the music"
                         : "; the last pattern loops back to pattern " + std::to_string(options.first_pattern);
  if (cut_by)
    report += "\nthe song is cut after " + seconds_text(patterns.size() * k_cart_notes * note_seconds) + " of " +
              seconds_text(stretches * k_cart_notes * note_seconds) + ": no more free " + cut_by;
  std::string dropped;
  for (size_t i = k_channels; i < parts.size(); i++) dropped += (dropped.empty() ? "" : ", ") + part_name(parts[i], parts, names);
  if (!dropped.empty()) report += "\ndropped (only four channels): " + dropped;
  if (counts.chord_notes)
    report += "\ndropped: " + std::to_string(counts.chord_notes) + " lower notes of chords";
  if (counts.moved) report += "\nmoved by octaves into range: " + std::to_string(counts.moved) + " notes";
  if (!busy_sounds.empty() || !busy_patterns.empty()) report += "\nwritten over sounds or patterns that were not empty";
  *message = report;
  return CARTKIT_OK;
}
