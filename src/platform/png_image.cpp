#include "platform/png_image.h"

#include <png.h>

#include "platform/files.h"

int vell_png_size(const void *data, size_t size, int32_t *width, int32_t *height) {
  *width = *height = 0;
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return VELL_PNG_UNDECODABLE;
  png_image_free(&image);
  if (image.width == 0 || image.height == 0 || image.width > k_vell_png_max_side ||
      image.height > k_vell_png_max_side)
    return VELL_PNG_UNDECODABLE;
  *width = static_cast<int32_t>(image.width);
  *height = static_cast<int32_t>(image.height);
  return VELL_PNG_OK;
}

int vell_png_decode(const void *data, size_t size, vell_rgba_image *out) {
  out->width = out->height = 0;
  out->pixels.clear();
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return VELL_PNG_UNDECODABLE;
  if (image.width == 0 || image.height == 0 || image.width > k_vell_png_max_side ||
      image.height > k_vell_png_max_side) {
    png_image_free(&image);
    return VELL_PNG_UNDECODABLE;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return VELL_PNG_UNDECODABLE;
  }
  out->width = static_cast<int32_t>(image.width);
  out->height = static_cast<int32_t>(image.height);
  out->pixels.swap(pixels);
  return VELL_PNG_OK;
}

int vell_png_read_file(const char *path, vell_rgba_image *out) {
  std::string bytes;
  if (vell_read_file(path, k_vell_png_max_file, &bytes) != VELL_READ_OK) {
    out->width = out->height = 0;
    out->pixels.clear();
    return VELL_PNG_NO_FILE;
  }
  return vell_png_decode(bytes.data(), bytes.size(), out);
}

int vell_png_encode(const vell_rgba_image &img, std::string *out) {
  out->clear();
  if (img.width <= 0 || img.height <= 0 ||
      img.pixels.size() != static_cast<size_t>(img.width) * static_cast<size_t>(img.height) * 4)
    return VELL_PNG_WRITE_FAILED;
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(img.width);
  image.height = static_cast<png_uint_32>(img.height);
  image.format = PNG_FORMAT_RGBA;
  // One pass into a buffer of the largest size the encoder can produce (a
  // first pass only to learn the size would encode everything twice).
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  out->resize(size);
  if (!png_image_write_to_memory(&image, &(*out)[0], &size, 0, img.pixels.data(), 0, nullptr)) {
    out->clear();
    return VELL_PNG_WRITE_FAILED;
  }
  out->resize(size);
  return VELL_PNG_OK;
}

int vell_png_write_file(const char *path, const vell_rgba_image &image) {
  std::string bytes;
  if (vell_png_encode(image, &bytes) != VELL_PNG_OK) return VELL_PNG_WRITE_FAILED;
  return vell_write_file_replacing(path, bytes.data(), bytes.size()) == VELL_WRITE_OK ? VELL_PNG_OK
                                                                                    : VELL_PNG_WRITE_FAILED;
}
