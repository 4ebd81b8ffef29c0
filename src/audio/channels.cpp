#include "audio/channels.h"

#include <algorithm>
#include <cstring>

#include "audio/audio.h"
#include "audio/sound_data.h"
#include "platform/audio_device.h"
#include "platform/config.h"
#include "platform/system.h"

namespace {

// The sound system, shared by the main thread and the audio device's
// thread as each field's comment says.
orrery_audio_t g_audio;

// Holds the counted audio lock for a scope.
struct audio_lock {
  audio_lock() { vell_lock_audio_plat(); }
  ~audio_lock() { vell_unlock_audio_plat(); }
  audio_lock(const audio_lock &) = delete;
  audio_lock &operator=(const audio_lock &) = delete;
};

bool valid_channel(int32_t c) { return c >= 0 && c < k_channels; }

// A channel is idle when it neither plays a sound nor holds a music column.
bool idle(const orrery_channel &ch) { return ch.sound < 0 && !ch.music; }

// Forgets what the channel plays. The oscillator, tick buffer and echo
// history stay, so that a sounding note fades out instead of clicking.
void clear_channel(orrery_channel &ch) {
  ch.cart = nullptr;
  ch.sound = -1;
  ch.t = 0;
  ch.ticks_remaining = 0;
  ch.loop_enabled = 0;
  ch.music = 0;
  ch.pattern = -1;
}

void start_channel(orrery_channel &ch, const orrery_cart *cart, int32_t sound, int32_t offset, int32_t length) {
  const int32_t s = orrery_sfx_speed(cart->sfx[sound & 63]);
  ch.cart = cart;
  ch.sound = sound & 63;
  ch.t = offset * s;
  ch.ticks_remaining = length > 0 ? length * s : -1;
  ch.loop_enabled = 1;
  ch.music = 0;
  ch.pattern = -1;
}

// Picks a sound-effect channel for a new sound: a pair with nothing on
// either side first, then channels whose music column is free or not
// reserved by the music mask, and finally takes over the channel whose
// sound has the smallest speed value (the later channel on a tie). -1 when
// none may be used.
int32_t choose_channel() {
  const orrery_channel *ch = g_audio.channel;
  const int32_t mask = g_audio.music_mask.load(std::memory_order_relaxed);
  auto reserved = [mask](int32_t k) { return (mask >> k) & 1; };
  for (int32_t k = 0; k < k_sfx_channels; k++)
    if (idle(ch[k]) && idle(ch[k + 4])) return k;
  for (int32_t k = 0; k < k_sfx_channels; k++)
    if (idle(ch[k]) && ch[k + 4].sound < 0 && !reserved(k)) return k;
  for (int32_t k = 0; k < k_sfx_channels; k++)
    if (idle(ch[k]) && !reserved(k)) return k;
  int32_t best = -1;
  int32_t best_speed = 0;
  for (int32_t k = 0; k < k_sfx_channels; k++) {
    if (ch[k].sound < 0 || !ch[k].cart) continue;
    if (reserved(k) && !idle(ch[k + 4])) continue;
    const int32_t speed = ch[k].cart->sfx[ch[k].sound].speed;
    if (best < 0 || speed <= best_speed) {
      best = k;
      best_speed = speed;
    }
  }
  return best;
}

// Does a sound-effect channel's sound go on after the tick just made?
// t has advanced to the next tick.
bool sound_goes_on(const orrery_channel &ch) {
  if (ch.ticks_remaining == 0) return false;
  const orrery_sfx &sfx = ch.cart->sfx[ch.sound];
  const int32_t s = orrery_sfx_speed(sfx);
  // A looping sound plays on while its loop is honoured; once released it
  // ends like any other sound after its last audible note.
  if (ch.loop_enabled && sfx.loop_end > sfx.loop_start * s) return true;
  const int32_t i = ch.t / s;
  if (i < 0 || i >= k_sfx_notes) return false;
  // A slide into a silent note is still heard.
  if (i < k_sfx_notes - 1 && (sfx.notes[i].effect & 7) == 1) return true;
  for (int32_t k = i; k < k_sfx_notes; k++)
    if (sfx.notes[k].volume & 7) return true;
  return false;
}

// The song stops: the channel leaves it, and with it the current pattern.
void end_music_on(orrery_channel &ch) {
  g_audio.current_pattern = -1;
  clear_channel(ch);
}

// A music channel reached the end of its pattern: move it to the next
// pattern by the ending pattern's flags. Every music channel does this for
// itself; they share the pattern length and so move together.
void end_pattern(orrery_channel &ch) {
  int32_t p = ch.pattern;
  if (p < 0 || p > 63) return;
  g_audio.pattern_ended_now = 1;
  const orrery_cart *cart = ch.cart;
  const int32_t flags = cart->music[p].flags;
  if (flags & k_pattern_flag_stop) {
    end_music_on(ch);
    return;
  }
  if (flags & k_pattern_flag_loop_back) {
    if (p > 0 && !(flags & k_pattern_flag_loop_start)) {
      int32_t q = p - 1;
      while (q >= 1 && !(cart->music[q].flags & k_pattern_flag_loop_start)) q--;
      p = q >= 1 ? q : 0;
    }
  } else {
    p++;
  }
  if (p > 63 || orrery_pattern_silent(cart->music[p])) {
    end_music_on(ch);
    return;
  }
  g_audio.current_pattern = p;
  const orrery_pattern &pat = cart->music[p];
  const int32_t c = ch.identity;
  ch.pattern = p;
  ch.sound = orrery_pattern_column_on(pat, c) ? orrery_pattern_column_sound(pat, c) : -1;
  ch.t = 0;
  ch.ticks_remaining = orrery_pattern_length(cart, p);
}

void clear_music_channels() {
  for (orrery_channel &ch : g_audio.channel)
    if (ch.music) clear_channel(ch);
  g_audio.current_pattern = -1;
}

// Reads a volume setting that the main thread may change while the mixer runs.
int32_t load_word(const int32_t &word) { return __atomic_load_n(&word, __ATOMIC_RELAXED); }

}  // namespace

void vell_audio_reset() {
  g_audio = orrery_audio_t{};
  // Each column answers to its bit in the effect masks; the music column
  // k + 4 shares the bit of the sound-effect channel k.
  for (int32_t c = 0; c < k_channels; c++) g_audio.channel[c].identity = c & 3;
}

int32_t vell_audio_pause_count() { return g_audio.pause_counter.load(std::memory_order_relaxed); }

void vell_set_audio_pause_count(int32_t count) { g_audio.pause_counter.store(count); }

int32_t vell_music_fade_level() { return g_audio.fade_level.load(); }

orrery_channel *vell_mixer_channels() { return g_audio.channel; }

void vell_mixer_begin_block() { g_audio.pattern_ended_now = 0; }

void vell_mixer_end_block() {
  if (g_audio.pattern_ended_now) g_audio.patterns_ended++;
}

int32_t vell_get_orrery_song_pattern() { return g_audio.current_pattern; }

int32_t vell_get_patterns_ended() { return g_audio.patterns_ended; }

void vell_set_music_mask(int32_t mask) { g_audio.music_mask.store(mask & 15); }

void vell_channel_next_tick(orrery_channel *ch, int16_t *out) {
  if (ch->sound < 0 || !ch->cart) {
    orrery_synth_silent_tick(&ch->osc, out, &g_audio.rng);
  } else {
    orrery_music_scale scale;
    if (ch->music) {
      scale.level = g_audio.fade_level.load(std::memory_order_relaxed);
      scale.volume = std::clamp(load_word(vell_config().music_volume), 0, 256);
    }
    orrery_synth_tick(&ch->osc, ch->cart, ch->sound, ch->t, ch->music ? &scale : nullptr, out, &g_audio.rng);
    ch->t++;
  }
  if (ch->ticks_remaining > 0) ch->ticks_remaining--;

  if (ch->sound >= 0 && ch->cart) {
    const orrery_sfx &sfx = ch->cart->sfx[ch->sound];
    const int32_t s = orrery_sfx_speed(sfx);
    if (ch->loop_enabled && orrery_sfx_loops(sfx) && ch->t >= sfx.loop_end * s) ch->t = sfx.loop_start * s;
    if (!ch->music && !sound_goes_on(*ch)) clear_channel(*ch);
  }
  if (ch->music && ch->ticks_remaining == 0) end_pattern(*ch);
}

int32_t vell_play_sfx_ex(int32_t sound, int32_t offset, int32_t length, const orrery_cart *cart, int32_t channel) {
  if (!cart || sound < 0 || sound > 63 || channel < -1 || channel >= k_sfx_channels) return -1;
  audio_lock lock;
  if (channel < 0) channel = choose_channel();
  if (channel < 0) return -1;
  start_channel(g_audio.channel[channel], cart, sound, std::clamp(offset, 0, 31), length);
  return channel;
}

void vell_stop_sfx(int32_t sound) {
  audio_lock lock;
  for (orrery_channel &ch : g_audio.channel)
    if (ch.sound == sound && ch.sound >= 0) clear_channel(ch);
}

void vell_stop_orrery_channel(int32_t channel) {
  if (!valid_channel(channel)) return;
  audio_lock lock;
  clear_channel(g_audio.channel[channel]);
}

void vell_release_looping_orrery_channel(int32_t channel) {
  if (!valid_channel(channel)) return;
  audio_lock lock;
  g_audio.channel[channel].loop_enabled = 0;
}

void vell_play_orrery_song(const orrery_cart *cart, int32_t pattern, int32_t fade_ms) {
  if (!cart) return;
  pattern = std::clamp(pattern, 0, 63);
  audio_lock lock;
  for (orrery_channel &ch : g_audio.channel)
    if (ch.music && ch.cart == cart) clear_channel(ch);
  const orrery_pattern &pat = cart->music[pattern];
  if (orrery_pattern_silent(pat)) return;
  g_audio.current_pattern = pattern;
  g_audio.patterns_ended = 0;
  const int32_t length = orrery_pattern_length(cart, pattern);
  for (int32_t c = 0; c < 4; c++) {
    orrery_channel &ch = g_audio.channel[k_sfx_channels + c];
    start_channel(ch, cart, orrery_pattern_column_sound(pat, c), 0, k_sfx_notes);
    // An off column keeps its channel: it may play in a later pattern.
    if (!orrery_pattern_column_on(pat, c)) ch.sound = -1;
    ch.music = 1;
    ch.pattern = pattern;
    ch.ticks_remaining = length;
  }
  // The fade runs from silence, also when a song was already playing.
  g_audio.fade_level.store(0);
  g_audio.fade_start = 0;
  g_audio.fade_target = k_fade_full;
  g_audio.fade_duration_ms = fade_ms;
  g_audio.fade_start_ms = vell_get_time();
  vell_update_music_fading();
}

void vell_stop_orrery_song(const orrery_cart *cart) {
  if (!cart) return;
  audio_lock lock;
  bool had_music = false;
  for (orrery_channel &ch : g_audio.channel) {
    if (ch.cart != cart) continue;
    had_music |= ch.music != 0;
    clear_channel(ch);
  }
  if (had_music && !vell_music_is_playing()) g_audio.current_pattern = -1;
}

void vell_stop_music(int32_t fade_ms) {
  g_audio.fade_start = g_audio.fade_level.load();
  g_audio.fade_target = 0;
  g_audio.fade_duration_ms = fade_ms;
  g_audio.fade_start_ms = vell_get_time();
  vell_update_music_fading();
}

void vell_update_music_fading() {
  orrery_audio_t &a = g_audio;
  int32_t level = a.fade_level.load();
  if (level != a.fade_target) {
    const int64_t elapsed = static_cast<uint32_t>(vell_get_time() - a.fade_start_ms);
    const int64_t duration = a.fade_duration_ms;
    if (duration > 0 && elapsed < duration) {
      level = static_cast<int32_t>((elapsed * a.fade_target + (duration - elapsed) * a.fade_start) / duration);
      a.fade_level.store(std::clamp(level, 0, k_fade_full));
      return;
    }
    level = a.fade_target;
    a.fade_level.store(level);
  }
  if (level == 0) {
    audio_lock lock;
    clear_music_channels();
  }
}

void vell_stop_all_sounds() {
  audio_lock lock;
  for (orrery_channel &ch : g_audio.channel) clear_channel(ch);
  g_audio.current_pattern = -1;
}

bool vell_music_is_playing() {
  audio_lock lock;
  for (const orrery_channel &ch : g_audio.channel)
    if (ch.music) return true;
  return false;
}

int32_t vell_get_orrery_channel_sfx(int32_t channel) {
  if (!valid_channel(channel)) return -1;
  audio_lock lock;
  return g_audio.channel[channel].sound;
}

int32_t vell_get_sfx_playing_note(int32_t sound) {
  if (sound < 0) return -1;
  audio_lock lock;
  for (const orrery_channel &ch : g_audio.channel)
    if (ch.sound == sound && ch.cart) return ch.t / orrery_sfx_speed(ch.cart->sfx[sound]);
  return -1;
}

int32_t vell_get_orrery_song_ticks() {
  audio_lock lock;
  int32_t ticks = 0;
  for (const orrery_channel &ch : g_audio.channel)
    if (ch.music && ch.sound >= 0) ticks = std::max(ticks, ch.t);
  return ticks;
}
