#include "tools/cartkit/sound_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "machine/cart.h"
#include "tools/cartkit/cartkit.h"

namespace {

// Indexed by waveform number.
constexpr const char *k_wave_names[8] = {"tri", "tilt", "saw", "square", "pulse", "organ", "noise", "phaser"};
// Indexed by effect number.
constexpr const char *k_effect_names[8] = {"none", "slide", "vib", "drop", "fadein", "fadeout", "arpfast", "arpslow"};
// Indexed by pitch mod 12; sharps are what the formatter writes.
constexpr const char *k_pitch_names[12] = {"c", "c#", "d", "d#", "e", "f", "f#", "g", "g#", "a", "a#", "b"};
// Semitones above c of each letter a-g.
constexpr int k_letter_semitones[7] = {9, 11, 0, 2, 4, 5, 7};

constexpr int k_default_speed = 16;
constexpr int k_default_volume = 5;

// A note's settings that a block's defaults and a note's own overrides give.
struct note_settings {
  int waveform = 0;  // 0-7
  int custom = 0;    // 0 or 128
  int volume = k_default_volume;
  int effect = 0;
};

struct word {
  std::string text;
  int line;  // 1-based
};

// The words of the text, comments removed. A '#' begins a comment only at
// the start of a word, so that sharps (c#3) stay notes.
std::vector<std::vector<word>> split_lines(const std::string &text) {
  std::vector<std::vector<word>> lines;
  size_t at = 0;
  int number = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    number++;
    std::vector<word> words;
    size_t i = at;
    while (i < end) {
      while (i < end && isspace(static_cast<unsigned char>(text[i]))) i++;
      if (i >= end || text[i] == '#') break;
      size_t j = i;
      while (j < end && !isspace(static_cast<unsigned char>(text[j]))) j++;
      words.push_back({text.substr(i, j - i), number});
      i = j;
    }
    lines.push_back(words);
    at = end + 1;
  }
  return lines;
}

std::string fault(const word &w, const std::string &what) {
  return "line " + std::to_string(w.line) + ": '" + w.text + "': " + what;
}

// A decimal number lo-hi, or -1.
int parse_number(const std::string &s, int lo, int hi) {
  if (s.empty() || s.size() > 6) return -1;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v >= lo && v <= hi ? v : -1;
}

// 0xHH: a raw byte, or -1.
int parse_raw_byte(const std::string &s) {
  if (s.size() != 4 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return -1;
  int v = 0;
  for (size_t i = 2; i < 4; i++) {
    const char c = static_cast<char>(tolower(static_cast<unsigned char>(s[i])));
    if (c >= '0' && c <= '9') v = v * 16 + (c - '0');
    else if (c >= 'a' && c <= 'f') v = v * 16 + (c - 'a' + 10);
    else return -1;
  }
  return v;
}

int find_name(const char *const *names, const std::string &s) {
  for (int i = 0; i < 8; i++)
    if (s == names[i]) return i;
  return -1;
}

// A waveform name or iN into the settings; false when s is neither.
bool parse_wave(const std::string &s, note_settings *n) {
  const int w = find_name(k_wave_names, s);
  if (w >= 0) {
    n->waveform = w;
    n->custom = 0;
    return true;
  }
  if (s.size() == 2 && s[0] == 'i' && s[1] >= '0' && s[1] <= '7') {
    n->waveform = s[1] - '0';
    n->custom = 128;
    return true;
  }
  return false;
}

// A note name (c#3, Eb4) or pN: the pitch, -1 when not a pitch at all, -2
// when a pitch outside 0-63.
int parse_pitch(const std::string &s) {
  if (s.size() >= 2 && s[0] == 'p' && isdigit(static_cast<unsigned char>(s[1]))) {
    const int p = parse_number(s.substr(1), 0, 999999);
    return p < 0 ? -1 : p <= 63 ? p : -2;
  }
  if (s.empty()) return -1;
  const char letter = static_cast<char>(tolower(static_cast<unsigned char>(s[0])));
  if (letter < 'a' || letter > 'g') return -1;
  int p = k_letter_semitones[letter - 'a'];
  size_t i = 1;
  if (i < s.size() && (s[i] == '#' || s[i] == 'b')) p += s[i++] == '#' ? 1 : -1;
  const int octave = parse_number(s.substr(i), 0, 99);
  if (octave < 0) return -1;
  p += (octave - 2) * 12;
  return p >= 0 && p <= 63 ? p : -2;
}

// One sound being read: where it was named, and what it holds so far.
struct sfx_block {
  int number;
  int line;
  orrery_sfx sfx;
  int notes = 0;  // notes given so far
  note_settings defaults;
};

// Reads the value words of a setting; false with a message when they are missing or wrong.
bool setting(const std::vector<word> &words, size_t *i, sfx_block *b, std::string *message) {
  const word &key = words[*i];
  const int wanted = key.text == "loop" ? 2 : 1;
  if (*i + wanted >= words.size()) {
    *message = fault(key, wanted == 2 ? "needs two numbers on its line" : "needs a value on its line");
    return false;
  }
  const word &v = words[*i + 1];
  *i += wanted;
  if (key.text == "wave") {
    if (!parse_wave(v.text, &b->defaults)) {
      *message = fault(v, "not a waveform (tri tilt saw square pulse organ noise phaser, or i0-i7)");
      return false;
    }
    return true;
  }
  if (key.text == "fx") {
    const int e = find_name(k_effect_names, v.text);
    if (e < 0) {
      *message = fault(v, "not an effect (none slide vib drop fadein fadeout arpfast arpslow)");
      return false;
    }
    b->defaults.effect = e;
    return true;
  }
  if (key.text == "vol") {
    const int n = parse_number(v.text, 0, 7);
    if (n < 0) {
      *message = fault(v, "not a volume (0-7)");
      return false;
    }
    b->defaults.volume = n;
    return true;
  }
  const int n = parse_number(v.text, 0, 255);
  if (n < 0) {
    *message = fault(v, "not a number 0-255");
    return false;
  }
  if (key.text == "speed") b->sfx.speed = n;
  else if (key.text == "mode") b->sfx.editor_mode = n;
  else {
    const int m = parse_number(words[*i].text, 0, 255);
    if (m < 0) {
      *message = fault(words[*i], "not a number 0-255");
      return false;
    }
    b->sfx.loop_start = n;
    b->sfx.loop_end = m;
  }
  return true;
}

// One note word (c3/v7/vib*4) appended to the block.
bool note_word(const word &w, sfx_block *b, std::string *message) {
  std::string s = w.text;
  int count = 1;
  const size_t star = s.find('*');
  if (star != std::string::npos) {
    count = parse_number(s.substr(star + 1), 1, 32);
    if (count < 0) {
      *message = fault(w, "a repeat count is *1 to *32");
      return false;
    }
    s.resize(star);
  }
  orrery_note note{};
  const size_t slash = s.find('/');
  const std::string head = s.substr(0, slash);
  if (head == ".") {
    if (slash != std::string::npos) {
      *message = fault(w, "a rest takes no settings");
      return false;
    }
  } else {
    const int pitch = parse_pitch(head);
    if (pitch == -2) {
      *message = fault(w, "pitch out of range (c2 to d#7, or p0 to p63)");
      return false;
    }
    if (pitch < 0) {
      *message = fault(w, "not a note, a rest or a setting");
      return false;
    }
    note_settings own = b->defaults;
    size_t at = slash;
    while (at != std::string::npos) {
      const size_t next = s.find('/', at + 1);
      const std::string part = s.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
      const int effect = find_name(k_effect_names, part);
      if (effect >= 0) own.effect = effect;
      else if (part.size() == 2 && part[0] == 'v' && part[1] >= '0' && part[1] <= '7') own.volume = part[1] - '0';
      else if (!parse_wave(part, &own)) {
        *message = fault(w, "'" + part + "' is not a waveform, i0-i7, v0-v7 or an effect");
        return false;
      }
      at = next;
    }
    note = orrery_note{pitch, own.waveform, own.volume, own.effect, own.custom};
  }
  if (b->notes + count > k_cart_notes) {
    *message = fault(w, "sound " + std::to_string(b->number) + " would have more than 32 notes");
    return false;
  }
  for (int k = 0; k < count; k++) b->sfx.notes[b->notes++] = note;
  return true;
}

sfx_block empty_block(int number, int line) {
  sfx_block b{number, line, orrery_sfx{}, 0, note_settings{}};
  b.sfx.speed = k_default_speed;
  return b;
}

bool is_rest(const orrery_note &n) { return !n.pitch && !n.waveform && !n.volume && !n.effect && !n.custom; }

int clamp_byte(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int clamp7(int32_t v) { return v < 0 ? 0 : v > 7 ? 7 : v; }

// The value that occurs most often among values (lowest on a tie).
int most_common(const std::vector<int> &values, int none) {
  int best = none, best_count = 0;
  for (int v : values) {
    int count = 0;
    for (int u : values) count += u == v;
    if (count > best_count || (count == best_count && v < best)) best = v, best_count = count;
  }
  return best;
}

std::string wave_name(int waveform, int custom) {
  return custom ? "i" + std::to_string(clamp7(waveform)) : k_wave_names[clamp7(waveform)];
}

std::string note_text(const orrery_note &n, const note_settings &d) {
  if (is_rest(n)) return ".";
  const int pitch = n.pitch < 0 ? 0 : n.pitch > 63 ? 63 : n.pitch;
  std::string s = std::string(k_pitch_names[pitch % 12]) + std::to_string(pitch / 12 + 2);
  const int custom = n.custom ? 128 : 0;
  if (clamp7(n.waveform) != d.waveform || custom != d.custom) s += "/" + wave_name(n.waveform, custom);
  if (clamp7(n.volume) != d.volume) s += "/v" + std::to_string(clamp7(n.volume));
  if (clamp7(n.effect) != d.effect) s += std::string("/") + k_effect_names[clamp7(n.effect)];
  return s;
}

bool same_note(const orrery_note &a, const orrery_note &b) {
  return a.pitch == b.pitch && a.waveform == b.waveform && a.volume == b.volume && a.effect == b.effect &&
         !a.custom == !b.custom;
}

bool sfx_is_default(const orrery_sfx &s, int number) {
  if (s.editor_mode || s.loop_start || s.loop_end || s.speed != (number == 0 ? 1 : 16)) return false;
  for (const orrery_note &n : s.notes)
    if (!is_rest(n)) return false;
  return true;
}

bool pattern_is_default(const orrery_pattern &p) {
  if (p.flags) return false;
  for (int c = 0; c < 4; c++)
    if (p.channel[c] != 0x41 + c) return false;
  return true;
}

std::string replaced(const char *what, const std::vector<int> &numbers) {
  if (numbers.empty()) return std::string("no ") + what + " in the text; nothing replaced";
  return std::string(what) + " " + cartkit_number_ranges(numbers.data(), static_cast<int>(numbers.size())) +
         " replaced";
}

// Records the line that names a number; false when an earlier line named it.
bool first_time(const word &w, int number, std::vector<int> *seen_line) {
  if ((*seen_line)[number]) return false;
  (*seen_line)[number] = w.line;
  return true;
}

}  // namespace

std::string cartkit_number_ranges(const int *numbers, int count) {
  std::string out;
  for (int i = 0; i < count;) {
    int j = i;
    while (j + 1 < count && numbers[j + 1] == numbers[j] + 1) j++;
    if (!out.empty()) out += ", ";
    out += std::to_string(numbers[i]);
    if (j > i) out += "-" + std::to_string(numbers[j]);
    i = j + 1;
  }
  return out;
}

int cartkit_parse_sfx(const std::string &text, orrery_cart *cart, std::string *message) {
  std::vector<sfx_block> blocks;
  std::vector<int> seen(k_cart_sfx_count, 0);
  for (const std::vector<word> &words : split_lines(text)) {
    size_t i = 0;
    if (!words.empty() && words[0].text == "sfx") {
      if (words.size() < 2) {
        *message = fault(words[0], "needs a sound number 0-63");
        return CARTKIT_REFUSED;
      }
      const int n = parse_number(words[1].text, 0, k_cart_sfx_count - 1);
      if (n < 0) {
        *message = fault(words[1], "not a sound number 0-63");
        return CARTKIT_REFUSED;
      }
      if (!first_time(words[1], n, &seen)) {
        *message = fault(words[1], "sound " + std::to_string(n) + " is already given on line " +
                                       std::to_string(seen[n]));
        return CARTKIT_REFUSED;
      }
      blocks.push_back(empty_block(n, words[0].line));
      i = 2;
    }
    for (; i < words.size(); i++) {
      if (blocks.empty()) {
        *message = fault(words[i], "comes before the first 'sfx N' line");
        return CARTKIT_REFUSED;
      }
      const std::string &t = words[i].text;
      const bool ok = t == "speed" || t == "loop" || t == "mode" || t == "wave" || t == "vol" || t == "fx"
                          ? setting(words, &i, &blocks.back(), message)
                          : note_word(words[i], &blocks.back(), message);
      if (!ok) return CARTKIT_REFUSED;
    }
  }
  std::vector<int> numbers;
  for (const sfx_block &b : blocks) {
    cart->sfx[b.number] = b.sfx;
    numbers.push_back(b.number);
  }
  std::sort(numbers.begin(), numbers.end());
  *message = replaced("sounds", numbers);
  return CARTKIT_OK;
}

std::string cartkit_format_sfx(const orrery_cart *cart) {
  std::string out =
      "# sfx N, its settings (speed, loop, mode) and the defaults of its notes (wave, vol, fx), then up to 32\n"
      "# notes: c2-d#7 or pN, '.' a rest, NOTE/wave/vN/effect for a note's own settings, NOTE*N repeats\n";
  for (int s = 0; s < k_cart_sfx_count; s++) {
    const orrery_sfx &sfx = cart->sfx[s];
    if (sfx_is_default(sfx, s)) continue;
    int used = k_cart_notes;
    while (used > 0 && is_rest(sfx.notes[used - 1])) used--;
    std::vector<int> waves, volumes, effects;
    for (int i = 0; i < used; i++) {
      const orrery_note &n = sfx.notes[i];
      if (is_rest(n)) continue;
      waves.push_back(clamp7(n.waveform) | (n.custom ? 8 : 0));
      volumes.push_back(clamp7(n.volume));
      effects.push_back(clamp7(n.effect));
    }
    note_settings d;
    const int wave = most_common(waves, 0);
    d.waveform = wave & 7;
    d.custom = wave & 8 ? 128 : 0;
    d.volume = most_common(volumes, k_default_volume);
    d.effect = most_common(effects, 0);
    char head[96];
    snprintf(head, sizeof head, "\nsfx %d speed %d", s, clamp_byte(sfx.speed));
    out += head;
    if (sfx.loop_start || sfx.loop_end)
      out += " loop " + std::to_string(clamp_byte(sfx.loop_start)) + " " + std::to_string(clamp_byte(sfx.loop_end));
    if (sfx.editor_mode) out += " mode " + std::to_string(clamp_byte(sfx.editor_mode));
    if (!waves.empty()) out += " wave " + wave_name(d.waveform, d.custom) + " vol " + std::to_string(d.volume);
    if (d.effect) out += std::string(" fx ") + k_effect_names[d.effect];
    out += "\n";
    // Eight notes to a line, so that lines are bars; a run of equal notes
    // is written as one word but never across a line.
    for (int i = 0; i < used;) {
      int j = i + 1;
      while (j < used && j % 8 && same_note(sfx.notes[j], sfx.notes[i])) j++;
      out += note_text(sfx.notes[i], d);
      if (j - i > 1) out += "*" + std::to_string(j - i);
      out += j % 8 == 0 || j == used ? "\n" : " ";
      i = j;
    }
  }
  return out;
}

namespace {

// A pattern's flag word: '-', letters of l b s x, or 0xHH; -1 when none of these.
int parse_flags(const std::string &s) {
  if (s == "-") return 0;
  const int raw = parse_raw_byte(s);
  if (raw >= 0) return raw;
  int flags = 0;
  for (char c : s) {
    const char *letters = "lbsx";
    const char *at = strchr(letters, c);
    if (!c || !at || flags & (1 << (at - letters))) return -1;
    flags |= 1 << (at - letters);
  }
  return s.empty() ? -1 : flags;
}

// A channel word of column c: a sound number, '-', -N or 0xHH; -1 when none of these.
int parse_channel(const std::string &s, int c) {
  if (s == "-") return 0x41 + c;
  const int raw = parse_raw_byte(s);
  if (raw >= 0) return raw;
  if (s.size() > 1 && s[0] == '-') {
    const int n = parse_number(s.substr(1), 0, 63);
    return n < 0 ? -1 : 0x40 + n;
  }
  return parse_number(s, 0, 63);
}

std::string flags_text(int32_t flags) {
  if (flags == 0) return "-";
  char buf[8];
  if (flags & ~15) {
    snprintf(buf, sizeof buf, "0x%02x", clamp_byte(flags));
    return buf;
  }
  std::string s;
  for (int b = 0; b < 4; b++)
    if (flags & (1 << b)) s += "lbsx"[b];
  return s;
}

std::string channel_text(int32_t v, int c) {
  char buf[8];
  if (v == 0x41 + c) return "-";
  if (v >= 0 && v < 64) return std::to_string(v);
  if (v >= 64 && v < 128) return "-" + std::to_string(v - 64);
  snprintf(buf, sizeof buf, "0x%02x", clamp_byte(v));
  return buf;
}

}  // namespace

int cartkit_parse_music(const std::string &text, orrery_cart *cart, std::string *message) {
  std::vector<std::pair<int, orrery_pattern>> patterns;
  std::vector<int> seen(k_cart_pattern_count, 0);
  for (const std::vector<word> &words : split_lines(text)) {
    if (words.empty()) continue;
    const int n = parse_number(words[0].text, 0, k_cart_pattern_count - 1);
    if (n < 0) {
      *message = fault(words[0], "not a pattern number 0-63");
      return CARTKIT_REFUSED;
    }
    if (words.size() != 6) {
      *message = fault(words[0], "a pattern line is: PATTERN FLAGS C0 C1 C2 C3 (" + std::to_string(words.size()) +
                                     " words here)");
      return CARTKIT_REFUSED;
    }
    if (!first_time(words[0], n, &seen)) {
      *message = fault(words[0], "pattern " + std::to_string(n) + " is already given on line " +
                                     std::to_string(seen[n]));
      return CARTKIT_REFUSED;
    }
    orrery_pattern p{};
    p.flags = parse_flags(words[1].text);
    if (p.flags < 0) {
      *message = fault(words[1], "flags are '-' or letters l (loop start), b (loop back), s (stop), x, or 0xHH");
      return CARTKIT_REFUSED;
    }
    for (int c = 0; c < 4; c++) {
      p.channel[c] = parse_channel(words[2 + c].text, c);
      if (p.channel[c] < 0) {
        *message = fault(words[2 + c], "a channel is a sound number 0-63, '-' (off), -N (off, keeping N) or 0xHH");
        return CARTKIT_REFUSED;
      }
    }
    patterns.push_back({n, p});
  }
  std::vector<int> numbers;
  for (const auto &p : patterns) {
    cart->music[p.first] = p.second;
    numbers.push_back(p.first);
  }
  std::sort(numbers.begin(), numbers.end());
  *message = replaced("patterns", numbers);
  return CARTKIT_OK;
}

std::string cartkit_format_music(const orrery_cart *cart) {
  std::string out =
      "# pattern, flags ('-' or l loop start, b loop back, s stop), the sounds on channels 0-3 ('-' off)\n";
  for (int p = 0; p < k_cart_pattern_count; p++) {
    const orrery_pattern &pat = cart->music[p];
    if (pattern_is_default(pat)) continue;
    char line[64];
    snprintf(line, sizeof line, "%2d %-4s %3s %3s %3s %3s\n", p, flags_text(pat.flags).c_str(),
             channel_text(pat.channel[0], 0).c_str(), channel_text(pat.channel[1], 1).c_str(),
             channel_text(pat.channel[2], 2).c_str(), channel_text(pat.channel[3], 3).c_str());
    out += line;
  }
  return out;
}

namespace {

using parser = int (*)(const std::string &, orrery_cart *, std::string *);

int import_text(orrery_cart *cart, const std::string &path, parser parse, std::string *message) {
  std::string text;
  if (cartkit_read_input(path, k_cartkit_input_max, &text, message) != CARTKIT_OK) return CARTKIT_IO;
  if (text.find('\0') != std::string::npos) {
    *message = path + ": not a text file";
    return CARTKIT_REFUSED;
  }
  const int result = parse(text, cart, message);
  if (result != CARTKIT_OK) *message = path + ": " + *message;
  return result;
}

int export_text(const std::string &text, int count, const char *what, const std::string &path,
                std::string *message) {
  if (cartkit_write_output(path, text, message) != CARTKIT_OK) return CARTKIT_IO;
  *message = std::to_string(count) + " " + what + " written to " + path;
  return CARTKIT_OK;
}

}  // namespace

int cartkit_sfx_import(orrery_cart *cart, const std::string &path, std::string *message) {
  return import_text(cart, path, cartkit_parse_sfx, message);
}

int cartkit_music_import_text(orrery_cart *cart, const std::string &path, std::string *message) {
  return import_text(cart, path, cartkit_parse_music, message);
}

int cartkit_sfx_export(const orrery_cart *cart, const std::string &path, std::string *message) {
  int count = 0;
  for (int s = 0; s < k_cart_sfx_count; s++) count += !sfx_is_default(cart->sfx[s], s);
  return export_text(cartkit_format_sfx(cart), count, count == 1 ? "sound" : "sounds", path, message);
}

int cartkit_music_export(const orrery_cart *cart, const std::string &path, std::string *message) {
  int count = 0;
  for (const orrery_pattern &p : cart->music) count += !pattern_is_default(p);
  return export_text(cartkit_format_music(cart), count, count == 1 ? "pattern" : "patterns", path, message);
}
