// orrery-render: plays a sound effect or a song of a cartridge through the
// mixer without an audio device and writes what it hears to a WAV file.
//
//   orrery-render CART.q7 OUT.wav SECONDS sfx N
//   orrery-render CART.q7 OUT.wav SECONDS music N
//
// N starts as sfx(N) or music(N) would in a running cartridge; the output
// is 22050 Hz, mono, signed 16-bit.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/audio.h"
#include "machine/cart.h"
#include "machine/cart_text.h"
#include "machine/pstate.h"
#include "platform/audio_device.h"
#include "platform/config.h"
#include "platform/wav/wav_out.h"

namespace {

enum {
  RENDER_OK = 0,
  RENDER_USAGE = 1,        // the command line is not as above
  RENDER_CART_FAILED = 2,  // the cartridge could not be loaded
  RENDER_WRITE_FAILED = 3, // the WAV file could not be written
};

constexpr double k_max_seconds = 3600;  // an hour of sound is 150 MB; more is surely a typo

bool parse_int(const char *text, long &value) {
  char *end = nullptr;
  errno = 0;
  value = strtol(text, &end, 10);
  return errno == 0 && end != text && *end == 0;
}

int usage() {
  fprintf(stderr, "usage: orrery-render CART.q7 OUT.wav SECONDS sfx|music N\n");
  return RENDER_USAGE;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 6) return usage();
  const char *cart_path = argv[1];
  const char *wav_path = argv[2];
  char *end = nullptr;
  const double seconds = strtod(argv[3], &end);
  const bool is_sfx = strcmp(argv[4], "sfx") == 0;
  const bool is_music = strcmp(argv[4], "music") == 0;
  long n = 0;
  if (end == argv[3] || *end || !(seconds >= 0 && seconds <= k_max_seconds) || !(is_sfx || is_music) ||
      !parse_int(argv[5], n))
    return usage();

  vell_config_default();
  // The mixer writes into the file instead of a device, in the device's
  // usual blocks (mix_buffer_size samples).
  vell_audio_out_use(vell_wav_out(wav_path));
  if (orrery_create_machine() != 0) return RENDER_CART_FAILED;
  orrery_cart *cart = vell_load_orrery_cart(cart_path);
  if (!cart) {
    fprintf(stderr, "could not load %s\n", cart_path);
    return RENDER_CART_FAILED;
  }
  vell_destroy_orrery_cart(pstate.cart);
  pstate.cart = cart;

  orrery_sound_init(16);
  const int32_t number = static_cast<int32_t>(std::clamp(n, -1000L, 1000L));
  if (is_sfx) orrery_sfx_call(1, number, 0, 0, 0);
  else orrery_music_call(number, 0, 0);

  vell_wav_out_pull(std::llround(seconds * k_vell_sample_rate));
  orrery_sound_exit();  // closing the output writes the file
  orrery_clear_machine();
  if (vell_wav_out_result() != VELL_WAV_OK) {
    fprintf(stderr, "could not write %s\n", wav_path);
    return RENDER_WRITE_FAILED;
  }
  return RENDER_OK;
}
