// The recording: a ring of the most recent console pictures, each a
// 128x128 block of palette indices, that a GIF is made from.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct vell_bitmap;

constexpr int32_t k_clip_side = 128;                      // pixels per row and rows of a frame
constexpr int32_t k_clip_frame_bytes = k_clip_side * k_clip_side;
constexpr int32_t k_clip_fps = 30;                        // recorded frames per second
constexpr int32_t k_clip_min_frames = 30;
constexpr int32_t k_clip_max_frames = 3600;

using clip_frame = std::array<uint8_t, k_clip_frame_bytes>;
// A recorded frame as a saver sees it: it stays unchanged while held, since
// recording never writes into a frame someone else holds.
using clip_frame_ref = std::shared_ptr<const clip_frame>;

struct video_clip {
  // The ring, allocated on the first recorded frame. Logical frame i is
  // slots[(first + i) % slots.size()].
  std::vector<std::shared_ptr<clip_frame>> slots;
  int32_t first = 0;  // slot of logical frame 0
  int32_t index = 0;  // frames recorded since the starting point; at most N - 1
};

// Frames the ring holds for a maximum length in seconds: 30 per second,
// within 30..3600.
int32_t clip_length_for(int32_t seconds);
// Writes the screen (128x128, 8-bit; others are ignored) into the frame at
// the index. While the clip is not full the index moves on; once it is, the
// ring turns by one, so the clip keeps the newest N - 1 frames in order.
// The ring is made with length frames on first use, and made anew (empty)
// when length changes.
void clip_record(video_clip *clip, const vell_bitmap *screen, int32_t length);
// Makes now the starting point: the next frame is frame 0.
void clip_reset(video_clip *clip);
// The recorded frames, oldest first.
std::vector<clip_frame_ref> clip_frames(const video_clip &clip);
