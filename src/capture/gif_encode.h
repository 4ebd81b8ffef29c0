// Animated GIFs of recorded console frames, encoded with giflib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/video_clip.h"

constexpr int32_t k_gif_max_scale = 32;  // largest pixel scale (a 4096-pixel canvas)
constexpr int32_t k_gif_delay = 3;       // hundredths of a second per frame

// The pixel scale a GIF is made at for a configured value: 1..32.
int32_t gif_scale_for(int32_t configured);

// Encodes the frames as a looping GIF89a of scale x 128 pixels square.
// The global colour table is the first 16 entries of palette (256 RGB
// triples) when every pixel of every frame is below 16, else all 256. Every
// image covers the canvas, is disposed to the background and shows for
// k_gif_delay hundredths; the first also carries the loop-forever
// application extension. With no frames the file holds only the screen
// descriptor and colour table. Returns 0, or 1 when giflib fails.
int encode_gif(const std::vector<clip_frame_ref> &frames, int32_t scale, const uint8_t *palette, std::string *out);
