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
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "machine/cart.h"
#include "machine/cart_text.h"
#include "machine/pstate.h"
#include "platform/audio_device.h"
#include "platform/config.h"

namespace {

enum {
  RENDER_OK = 0,
  RENDER_USAGE = 1,        // the command line is not as above
  RENDER_CART_FAILED = 2,  // the cartridge could not be loaded
  RENDER_WRITE_FAILED = 3, // the WAV file could not be written
};

constexpr double k_max_seconds = 3600;  // an hour of sound is 150 MB; more is surely a typo
constexpr int k_block = 1024;           // samples per mixer call, as the device asks by default

void put_u32(std::vector<uint8_t> &out, uint32_t v) {
  for (int k = 0; k < 4; k++) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
void put_u16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_tag(std::vector<uint8_t> &out, const char *tag) { out.insert(out.end(), tag, tag + 4); }

// A canonical 44-byte PCM header and the samples, little-endian.
int write_wav(const char *path, const std::vector<int16_t> &samples) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + data_bytes);
  put_tag(out, "RIFF");
  put_u32(out, 36 + data_bytes);
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put_u32(out, 16);
  put_u16(out, 1);  // PCM
  put_u16(out, 1);  // mono
  put_u32(out, k_vell_sample_rate);
  put_u32(out, k_vell_sample_rate * 2);  // bytes per second
  put_u16(out, 2);                       // bytes per frame
  put_u16(out, 16);                      // bits per sample
  put_tag(out, "data");
  put_u32(out, data_bytes);
  for (int16_t s : samples) put_u16(out, static_cast<uint16_t>(s));

  FILE *f = fopen(path, "wb");
  if (!f) return RENDER_WRITE_FAILED;
  const bool written = fwrite(out.data(), 1, out.size(), f) == out.size();
  return fclose(f) == 0 && written ? RENDER_OK : RENDER_WRITE_FAILED;
}

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
  vell_config_set(&vell_config_t::headless, 1);
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

  std::vector<int16_t> samples(static_cast<size_t>(std::llround(seconds * k_vell_sample_rate)));
  for (size_t pos = 0; pos < samples.size(); pos += k_block)
    vell_mixer_callback(samples.data() + pos, static_cast<int>(std::min<size_t>(k_block, samples.size() - pos)));

  const int result = write_wav(wav_path, samples);
  if (result != RENDER_OK) fprintf(stderr, "could not write %s\n", wav_path);
  orrery_sound_exit();
  orrery_clear_machine();
  return result;
}
