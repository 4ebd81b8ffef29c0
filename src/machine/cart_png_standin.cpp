// Stand-in for the picture cartridge format until it is built: it reads and
// writes the picture layout with the code stored as plain text only (a
// compressed code block is refused), draws no template, and takes the label
// from the picture.
#include <cstring>
#include <vector>

#include "api/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_png.h"
#include "platform/png_image.h"

namespace {

constexpr int32_t k_width = 160, k_height = 205;
constexpr int32_t k_payload = k_cart_image_bytes + 5;  // image and trailer
constexpr int32_t k_label_x = 16, k_label_y = 24, k_label_size = 128;

int g_status = CART_PNG_OK;

orrery_cart *fail(int status) {
  g_status = status;
  return nullptr;
}

// The nearest engine palette entry: the first closer than 192 (squared RGB
// distance), else the closest.
uint8_t palette_index(const uint8_t *p, const uint8_t *palette) {
  int32_t best = 0, best_d = INT32_MAX;
  for (int32_t c = 0; c < 256; c++) {
    const int32_t dr = p[0] - palette[c * 3], dg = p[1] - palette[c * 3 + 1], db = p[2] - palette[c * 3 + 2];
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < 192) return static_cast<uint8_t>(c);
    if (d < best_d) {
      best_d = d;
      best = c;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace

int orrery_cart_png_status() { return g_status; }

orrery_cart *load_orrery_cart_png(const char *path) {
  vell_rgba_image picture;
  const int rc = vell_png_read_file(path, &picture);
  if (rc == VELL_PNG_NO_FILE) return fail(CART_PNG_BAD_PICTURE);
  if (rc != VELL_PNG_OK) return fail(CART_PNG_NOT_PNG);
  if (picture.width != k_width || picture.height != k_height) return fail(CART_PNG_BAD_PICTURE);
  std::vector<uint8_t> payload(k_payload);
  for (int32_t i = 0; i < k_payload; i++) {
    const uint8_t *p = picture.pixels.data() + static_cast<size_t>(i) * 4;
    payload[i] = static_cast<uint8_t>((p[2] & 3) | (p[1] & 3) << 2 | (p[0] & 3) << 4 | (p[3] & 3) << 6);
  }
  const int32_t version = payload[k_cart_image_bytes];
  if (version > k_cart_version) return fail(CART_PNG_FUTURE_VERSION);
  orrery_cart *cart = vell_create_orrery_cart();
  if (!cart) return fail(CART_PNG_BAD_PICTURE);
  if (load_orrery_cart_32k(cart, payload.data()) != CART_IMAGE_OK) {
    vell_destroy_orrery_cart(cart);
    return fail(CART_PNG_NOT_PNG);
  }
  cart->version = version;
  cart->label = vell_create_bitmap(k_label_size, k_label_size, 8);
  if (cart->label)
    for (int32_t y = 0; y < k_label_size; y++)
      for (int32_t x = 0; x < k_label_size; x++) {
        const uint8_t *p = picture.pixels.data() + (static_cast<size_t>(y + k_label_y) * k_width + x + k_label_x) * 4;
        cart->label->line[y][x] = palette_index(p, vell_engine_palette());
      }
  g_status = CART_PNG_OK;
  return cart;
}

int save_orrery_cart_png(const orrery_cart *cart, const char *path) {
  std::vector<uint8_t> payload(k_payload, 0);
  if (save_orrery_cart_32k(cart, payload.data()) != CART_IMAGE_OK) return 1;
  const uint8_t trailer[5] = {static_cast<uint8_t>(k_cart_version), 0, 1, 16, 'w'};
  memcpy(payload.data() + k_cart_image_bytes, trailer, sizeof trailer);

  vell_rgba_image picture;
  picture.width = k_width;
  picture.height = k_height;
  picture.pixels.assign(static_cast<size_t>(k_width) * k_height * 4, 0);
  const uint8_t *palette = vell_engine_palette();
  const vell_bitmap *label = cart->label;
  if (label && (label->w < k_label_size || label->h < k_label_size || label->depth != 8)) label = nullptr;
  for (int32_t y = 0; y < k_height; y++)
    for (int32_t x = 0; x < k_width; x++) {
      uint8_t *p = picture.pixels.data() + (static_cast<size_t>(y) * k_width + x) * 4;
      const bool in_label = x >= k_label_x && x < k_label_x + k_label_size && y >= k_label_y &&
                            y < k_label_y + k_label_size;
      const uint8_t c = in_label && label ? label->line[y - k_label_y][x - k_label_x] : 1;
      memcpy(p, palette + (c & 15) * 3, 3);
      p[3] = 255;
    }
  for (int32_t i = 0; i < k_width * k_height; i++) {
    uint8_t *p = picture.pixels.data() + static_cast<size_t>(i) * 4;
    const uint8_t v = i < k_payload ? payload[i] : 0;
    p[2] = static_cast<uint8_t>((p[2] & ~3) | (v & 3));
    p[1] = static_cast<uint8_t>((p[1] & ~3) | (v >> 2 & 3));
    p[0] = static_cast<uint8_t>((p[0] & ~3) | (v >> 4 & 3));
    p[3] = static_cast<uint8_t>((p[3] & ~3) | (v >> 6 & 3));
  }
  return vell_png_write_file(path, picture) == VELL_PNG_OK ? 0 : 2;
}
