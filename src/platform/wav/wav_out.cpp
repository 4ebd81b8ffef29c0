#include "platform/wav/wav_out.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"

namespace {

// Most sample bytes a WAV file's 32-bit sizes can count (with its header).
constexpr uint64_t k_max_data_bytes = 0xffffffffu - 36;

struct wav_state {
  std::string path;               // file written at close
  vell_audio_fill fill = nullptr; // the mixer while open, else null
  int32_t rate = 0;               // samples per second
  int32_t block = 0;              // samples per pull of the mixer
  std::vector<int16_t> samples;   // everything pulled since open
  int result = VELL_WAV_NOT_OPEN; // of the last close
};

wav_state g_wav;

void put_u32(std::string &out, uint32_t v) {
  for (int k = 0; k < 4; k++) out.push_back(static_cast<char>(v >> (8 * k)));
}
void put_u16(std::string &out, uint16_t v) {
  out.push_back(static_cast<char>(v));
  out.push_back(static_cast<char>(v >> 8));
}

// A canonical 44-byte PCM header (mono, 16-bit) and the samples, little-endian.
std::string wav_bytes(int32_t rate, const std::vector<int16_t> &samples) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out;
  out.reserve(44 + data_bytes);
  out += "RIFF";
  put_u32(out, 36 + data_bytes);
  out += "WAVEfmt ";
  put_u32(out, 16);
  put_u16(out, 1);  // PCM
  put_u16(out, 1);  // mono
  put_u32(out, static_cast<uint32_t>(rate));
  put_u32(out, static_cast<uint32_t>(rate) * 2);  // bytes per second
  put_u16(out, 2);                                // bytes per frame
  put_u16(out, 16);                               // bits per sample
  out += "data";
  put_u32(out, data_bytes);
  for (int16_t s : samples) put_u16(out, static_cast<uint16_t>(s));
  return out;
}

int open(int32_t rate, int32_t frames, vell_audio_fill fill) {
  if (g_wav.fill || g_wav.path.empty() || frames <= 0) return 1;
  g_wav.fill = fill;
  g_wav.rate = rate;
  g_wav.block = frames;
  g_wav.samples.clear();
  return 0;
}

void close() {
  if (!g_wav.fill) return;
  g_wav.fill = nullptr;
  if (g_wav.samples.size() * 2 > k_max_data_bytes) {
    g_wav.result = VELL_WAV_TOO_LONG;
  } else {
    const std::string bytes = wav_bytes(g_wav.rate, g_wav.samples);
    g_wav.result = vell_write_file_replacing(g_wav.path.c_str(), bytes.data(), bytes.size()) == VELL_WRITE_OK
                       ? VELL_WAV_OK
                       : VELL_WAV_WRITE_FAILED;
  }
  g_wav.samples = {};
}

// The mixer runs on the caller's thread, between the console's own calls:
// no lock is needed.
constexpr vell_audio_out k_wav_out = {open, nullptr, nullptr, close};

}  // namespace

const vell_audio_out *vell_wav_out(const char *path) {
  g_wav = wav_state{};
  g_wav.path = path ? path : "";
  return &k_wav_out;
}

int vell_wav_out_pull(int64_t count) {
  if (!g_wav.fill) return VELL_WAV_NOT_OPEN;
  if ((static_cast<uint64_t>(g_wav.samples.size()) + static_cast<uint64_t>(count)) * 2 > k_max_data_bytes)
    return VELL_WAV_TOO_LONG;
  size_t pos = g_wav.samples.size();
  g_wav.samples.resize(pos + static_cast<size_t>(count));
  while (pos < g_wav.samples.size()) {
    const size_t n = std::min(static_cast<size_t>(g_wav.block), g_wav.samples.size() - pos);
    g_wav.fill(g_wav.samples.data() + pos, static_cast<int>(n));
    pos += n;
  }
  return VELL_WAV_OK;
}

int vell_wav_out_result() { return g_wav.result; }
