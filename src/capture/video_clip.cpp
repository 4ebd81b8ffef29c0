#include "capture/video_clip.h"

#include <cstring>

#include "gfx/bitmap.h"

int32_t clip_length_for(int32_t seconds) {
  const int64_t n = int64_t(seconds) * k_clip_fps;
  return n < k_clip_min_frames ? k_clip_min_frames : n > k_clip_max_frames ? k_clip_max_frames : int32_t(n);
}

void clip_record(video_clip *clip, const vell_bitmap *screen, int32_t length) {
  if (!screen || screen->w != k_clip_side || screen->h != k_clip_side || screen->depth != 8) return;
  if (clip->slots.size() != static_cast<size_t>(length)) {
    clip->slots.clear();
    clip->slots.resize(static_cast<size_t>(length));
    clip->first = 0;
    clip->index = 0;
  }
  const int32_t n = static_cast<int32_t>(clip->slots.size());
  std::shared_ptr<clip_frame> &slot = clip->slots[static_cast<size_t>((clip->first + clip->index) % n)];
  // A frame still held by a saver is left to it; the slot takes a new one.
  if (!slot || slot.use_count() > 1) slot = std::make_shared<clip_frame>();
  memcpy(slot->data(), screen->data, k_clip_frame_bytes);
  if (clip->index < n - 1) clip->index++;
  else clip->first = (clip->first + 1) % n;
}

void clip_reset(video_clip *clip) { clip->index = 0; }

std::vector<clip_frame_ref> clip_frames(const video_clip &clip) {
  std::vector<clip_frame_ref> frames;
  const size_t n = clip.slots.size();
  frames.reserve(static_cast<size_t>(clip.index));
  for (int32_t i = 0; i < clip.index; i++) frames.push_back(clip.slots[(clip.first + i) % n]);
  return frames;
}
