#include "capture/gif_encode.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int k_colour_resolution = 8;  // bits per primary of the palette

int append_to_string(GifFileType *gif, const GifByteType *data, int n) {
  static_cast<std::string *>(gif->UserData)->append(reinterpret_cast<const char *>(data), static_cast<size_t>(n));
  return n;
}

bool uses_only_console_colours(const std::vector<clip_frame_ref> &frames) {
  for (const clip_frame_ref &f : frames)
    if (std::any_of(f->begin(), f->end(), [](uint8_t p) { return p >= 16; })) return false;
  return true;
}

// The loop-forever block: "NETSCAPE2.0", then sub-block 1 with a loop count
// of 0.
bool put_loop_extension(GifFileType *gif) {
  static const GifByteType id[] = "NETSCAPE2.0";
  static const GifByteType loop[] = {1, 0, 0};
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, id) == GIF_OK && EGifPutExtensionBlock(gif, 3, loop) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

// Graphic control: dispose to background (2 << 2), the frame delay, no
// transparent colour.
bool put_frame_control(GifFileType *gif) {
  const GifByteType control[] = {2 << 2, k_gif_delay, 0, 0};
  return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
}

// One frame, each source row widened into the row buffer once and written
// scale times.
bool put_frame(GifFileType *gif, const clip_frame &frame, int32_t scale, int32_t colours, GifPixelType *row) {
  const int32_t side = k_clip_side * scale;
  if (EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr) != GIF_OK) return false;
  for (int32_t y = 0; y < k_clip_side; y++) {
    const uint8_t *src = frame.data() + y * k_clip_side;
    for (int32_t x = 0; x < k_clip_side; x++)
      std::fill_n(row + x * scale, scale, static_cast<GifPixelType>(src[x] % colours));
    for (int32_t k = 0; k < scale; k++)
      if (EGifPutLine(gif, row, side) != GIF_OK) return false;
  }
  return true;
}

}  // namespace

int32_t gif_scale_for(int32_t configured) {
  return configured < 1 ? 1 : configured > k_gif_max_scale ? k_gif_max_scale : configured;
}

int encode_gif(const std::vector<clip_frame_ref> &frames, int32_t scale, const uint8_t *palette, std::string *out) {
  out->clear();
  scale = gif_scale_for(scale);
  const int32_t colours = uses_only_console_colours(frames) ? 16 : 256;
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject *)> map(GifMakeMapObject(colours, nullptr),
                                                                   GifFreeMapObject);
  if (!map) return 1;
  for (int32_t i = 0; i < colours; i++)
    map->Colors[i] = GifColorType{palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]};

  int error = 0;
  GifFileType *gif = EGifOpen(out, append_to_string, &error);
  if (!gif) return 1;
  EGifSetGifVersion(gif, true);
  const int32_t side = k_clip_side * scale;
  bool ok = EGifPutScreenDesc(gif, side, side, k_colour_resolution, 0, map.get()) == GIF_OK;
  std::vector<GifPixelType> row(static_cast<size_t>(side));
  for (size_t i = 0; ok && i < frames.size(); i++) {
    ok = (i > 0 || put_loop_extension(gif)) && put_frame_control(gif) &&
         put_frame(gif, *frames[i], scale, colours, row.data());
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  if (!ok) out->clear();
  return ok ? 0 : 1;
}
