// Prints how many times faster than real time the mixer renders eight busy
// channels: four sound effects and four music columns over every waveform,
// the note effects and custom instruments, with the channel effects of
// 0x5f40-0x5f43 on; and the same per waveform on one channel.
//
//   bench_audio [--reps N]   each figure the fastest of N runs (default 1)

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/mixer.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/config.h"

namespace {

constexpr int32_t k_rate = 22050;
constexpr int k_block = 1024;

// Sound s loops over its 32 notes, all audible, with waveforms and effects
// cycling so that every path of the synthesiser runs.
void busy_sound(orrery_cart *cart, int s, int waveform_base) {
  orrery_sfx &sfx = cart->sfx[s];
  sfx.speed = 3 + s % 5;
  sfx.loop_start = 0;
  sfx.loop_end = 32;
  for (int i = 0; i < 32; i++) {
    orrery_note &n = sfx.notes[i];
    n.pitch = 12 + (i * 7 + s * 5) % 48;
    n.waveform = (waveform_base + i) % 8;
    n.volume = 4 + i % 4;
    n.effect = (i + s) % 8;
    n.custom = i % 5 == 4 ? 128 : 0;
  }
}

// CPU seconds this thread has used: the machine may be shared, and the
// figure is about one core's work.
double cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int g_reps = 1;  // runs per figure (--reps); the figure is the fastest

// Seconds of sound rendered per second of work: the best of g_reps runs,
// each going on from where the one before stopped.
double speed(double audio_seconds) {
  const int64_t samples = static_cast<int64_t>(audio_seconds * k_rate);
  std::vector<int16_t> block(k_block);
  double best = 0;
  for (int r = 0; r < g_reps; r++) {
    const double t0 = cpu_seconds();
    for (int64_t done = 0; done < samples; done += k_block) vell_mixer_callback(block.data(), k_block);
    best = std::max(best, audio_seconds / (cpu_seconds() - t0));
  }
  return best;
}

void set_masks(int half, int echo, int crush, int low_pass) {
  const int v[4] = {half, echo, crush, low_pass};
  for (int k = 0; k < 4; k++) orrery_poke(&pstate, pstate.cart, 0x5f40 + k, v[k]);
}

void start_everything(orrery_cart *cart) {
  vell_stop_all_sounds();
  orrery_music_call(0, 0, 0);
  for (int c = 0; c < 4; c++) vell_play_sfx_ex(8 + c, 0, 0, cart, c);
}

}  // namespace

int main(int argc, char **argv) {
  for (int i = 1; i + 1 < argc; i++)
    if (std::string(argv[i]) == "--reps") g_reps = std::max(1, std::atoi(argv[++i]));
  vell_config_default();
  vell_config_set(&vell_config_t::headless, 1);
  if (orrery_create_machine() != 0) return 1;
  orrery_cart *cart = pstate.cart;
  orrery_sound_init(16);
  for (int s = 0; s < 16; s++) busy_sound(cart, s, s);
  // Patterns 0-1 play sounds 0-7 and loop back for ever.
  for (int p = 0; p < 2; p++)
    for (int c = 0; c < 4; c++) cart->music[p].channel[c] = 4 * p + c;
  cart->music[0].flags = 1;
  cart->music[1].flags = 2;

  const double seconds = 120;
  printf("mixer, 22050 Hz, blocks of %d samples, %.0f s of sound per figure, CPU time of one core", k_block,
         seconds);
  if (g_reps > 1) printf(", best of %d runs", g_reps);
  printf("\n");

  start_everything(cart);
  set_masks(0, 0, 0, 0);
  printf("8 busy channels, no channel effects:          %8.0f x real time\n", speed(seconds));
  start_everything(cart);
  set_masks(15, 15, 15, 15);
  printf("8 busy channels, every effect (half rate on):  %8.0f x real time\n", speed(seconds));
  start_everything(cart);
  set_masks(0, 15, 15, 15);
  printf("8 busy channels, echo, bit reduction, low-pass: %7.0f x real time\n", speed(seconds));

  // One channel holding one long note of each waveform.
  set_masks(0, 0, 0, 0);
  static const char *const names[8] = {"triangle", "tilted saw", "saw", "square", "pulse", "organ", "noise", "phaser"};
  for (int w = 0; w < 8; w++) {
    vell_stop_all_sounds();
    orrery_sfx &sfx = cart->sfx[20];
    sfx.speed = 255;
    sfx.loop_start = 0;
    sfx.loop_end = 1;
    sfx.notes[0] = orrery_note{33, w, 7, 0, 0};
    vell_play_sfx_ex(20, 0, 0, cart, 0);
    printf("1 channel, %-10s                        %8.0f x real time\n", names[w], speed(seconds / 2));
  }
  vell_stop_all_sounds();
  orrery_sound_exit();
  orrery_clear_machine();
  return 0;
}
