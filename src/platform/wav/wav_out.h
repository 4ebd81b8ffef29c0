// A sound output that writes a WAV file instead of playing: the mixer is
// pulled on demand rather than by a device's clock.
#pragma once

#include <cstdint>

#include "platform/audio_out.h"

enum {
  VELL_WAV_OK = 0,
  VELL_WAV_NOT_OPEN = 1,      // the output was not opened (or not with this writer)
  VELL_WAV_WRITE_FAILED = 2,  // the file could not be written
  VELL_WAV_TOO_LONG = 3,      // more samples than a WAV file holds
};

// The writer for path: install it with vell_audio_out_use; once the console
// has opened it, vell_wav_out_pull takes samples, and closing the output
// writes the file (through a temporary neighbour, as vell_write_file_replacing
// does).
const vell_audio_out *vell_wav_out(const char *path);
// Pulls count samples from the mixer, in the blocks the output was opened
// with. Returns a VELL_WAV_ code.
int vell_wav_out_pull(int64_t count);
// The result of the last close: a VELL_WAV_ code.
int vell_wav_out_result();
