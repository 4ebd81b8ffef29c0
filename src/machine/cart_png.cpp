#include "machine/cart_png.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/font.h"
#include "gfx/text.h"
#include "machine/cart.h"
#include "machine/hooks.h"
#include "machine/cart_image.h"
#include "platform/files.h"
#include "platform/png_image.h"

namespace {

constexpr int32_t k_pixels = k_cart_png_width * k_cart_png_height;
constexpr int32_t k_label_side = 128;
constexpr int32_t k_title_chars = 31;  // characters kept of a title line
constexpr int32_t k_title_x = 18;
constexpr int32_t k_title_y[2] = {167, 175};  // first and second code line
constexpr int32_t k_brand_y = 187;
constexpr uint32_t k_title_colour = 0xfffff8f0;  // 0xAARRGGBB
constexpr uint32_t k_brand_colour = 0xffa0a0a0;
constexpr char k_brand_text[] = "orrery cartridge";
constexpr int32_t k_near_enough = 192;  // squared RGB distance that ends the palette search
// The five bytes after the cartridge image; the first is the format version.
constexpr uint8_t k_trailer[5] = {static_cast<uint8_t>(k_cart_version), 0, 1, 16, k_cart_png_platform};

// The picture module's record.
struct png_record {
  const vell_bitmap *cart_template = nullptr;  // the cartridge picture's background; not owned
  const vell_font *font = nullptr;             // the font of its title lines; not owned
  int status = CART_PNG_OK;                    // cart_png_status of the last load
};
png_record g_png;

// The text of a code line after "--" and one optional space, at most 31
// characters; empty when the line does not start with "--". next receives
// the start of the following line (null when there is none).
std::string title_of(const char *line, const char **next) {
  const char *end = line;
  while (*end && *end != '\n' && *end != '\r') end++;
  *next = *end ? end + 1 : nullptr;
  if (end - line < 2 || line[0] != '-' || line[1] != '-') return "";
  const char *p = line + 2;
  if (p < end && *p == ' ') p++;
  return std::string(p, static_cast<size_t>(std::min<ptrdiff_t>(end - p, k_title_chars)));
}

void draw_picture(const orrery_cart *cart, vell_bitmap *pic) {
  if (g_png.cart_template && g_png.cart_template->w == k_cart_png_width && g_png.cart_template->h == k_cart_png_height)
    vell_blit(g_png.cart_template, pic, 0, 0, 0, 0, k_cart_png_width, k_cart_png_height);
  else
    vell_rectfill(pic, 0, 0, k_cart_png_width - 1, k_cart_png_height - 1, 0xff000000);
  if (cart->label && cart->label->w == k_label_side && cart->label->h == k_label_side)
    vell_blit(cart->label, pic, 0, 0, k_cart_png_label_x, k_cart_png_label_y, k_label_side, k_label_side);
  if (!g_png.font) return;
  const char *line = cart->code;
  for (int32_t i = 0; i < 2 && line; i++) {
    const std::string title = title_of(line, &line);
    if (!title.empty())
      vell_draw_text_ex(pic, title.c_str(), g_png.font, k_title_x, k_title_y[i], k_text_colour, k_title_colour);
  }
  vell_draw_text_ex(pic, k_brand_text, g_png.font, k_title_x, k_brand_y, k_text_colour, k_brand_colour);
}

// Payload byte i is pixel i: bits 0-1 in blue, 2-3 in green, 4-5 in red,
// 6-7 in alpha, each in the channel's two lowest bits.
uint8_t payload_byte(const uint8_t *rgba) {
  return static_cast<uint8_t>((rgba[2] & 3) | (rgba[1] & 3) << 2 | (rgba[0] & 3) << 4 | (rgba[3] & 3) << 6);
}

void place_byte(uint8_t *rgba, uint8_t b) {
  rgba[2] = static_cast<uint8_t>((rgba[2] & ~3) | (b & 3));
  rgba[1] = static_cast<uint8_t>((rgba[1] & ~3) | (b >> 2 & 3));
  rgba[0] = static_cast<uint8_t>((rgba[0] & ~3) | (b >> 4 & 3));
  rgba[3] = static_cast<uint8_t>((rgba[3] & ~3) | (b >> 6 & 3));
}

orrery_cart *fail(int status) {
  g_png.status = status;
  return nullptr;
}

// Decodes PNG bytes, refusing any size but the cartridge's before the
// pixels are decoded (a hostile file could ask for 256 MB). Returns a
// CART_PNG_ status.
int decode_cart_picture(const void *data, size_t size, vell_rgba_image *pic) {
  int32_t w = 0, h = 0;
  if (vell_png_size(data, size, &w, &h) != VELL_PNG_OK) return CART_PNG_UNDECODABLE;
  if (w != k_cart_png_width || h != k_cart_png_height) return CART_PNG_NOT_CART;
  if (vell_png_decode(data, size, pic) != VELL_PNG_OK) return CART_PNG_UNDECODABLE;
  return CART_PNG_OK;
}

bool is_cart_picture(const vell_rgba_image &pic) {
  return pic.width == k_cart_png_width && pic.height == k_cart_png_height &&
         pic.pixels.size() == static_cast<size_t>(k_pixels) * 4;
}

}  // namespace

orrery_cart *load_orrery_cart_png_from_picture(const vell_rgba_image &pic) {
  if (!is_cart_picture(pic)) return fail(CART_PNG_NOT_CART);
  std::vector<uint8_t> payload(k_cart_png_payload);
  for (int32_t i = 0; i < k_cart_png_payload; i++)
    payload[i] = payload_byte(&pic.pixels[static_cast<size_t>(i) * 4]);
  const int32_t version = payload[k_cart_image_bytes];
  if (version > k_cart_version) {
    char text[32];
    snprintf(text, sizeof text, "future_version: %d", version);
    orrery_print(text);
    orrery_set_future_version_status(1);
    return fail(CART_PNG_FUTURE_VERSION);
  }
  orrery_cart *cart = vell_create_orrery_cart();
  if (!cart) return fail(CART_PNG_UNDECODABLE);
  // A damaged code block still gives the code decoded before the damage.
  load_orrery_cart_32k(cart, payload.data());
  cart->version = version;
  g_png.status = CART_PNG_OK;
  return cart;
}

void orrery_set_cart_png_art(const vell_bitmap *cart_template, const vell_font *font) {
  g_png.cart_template = cart_template;
  g_png.font = font;
}

int orrery_cart_png_picture(const orrery_cart *cart, vell_rgba_image *out) {
  std::vector<uint8_t> payload(k_cart_png_payload);
  if (save_orrery_cart_32k(cart, payload.data()) != CART_IMAGE_OK) return CART_PNG_CODE_TOO_LARGE;
  memcpy(payload.data() + k_cart_image_bytes, k_trailer, sizeof k_trailer);

  vell_bitmap *pic = vell_create_bitmap(k_cart_png_width, k_cart_png_height, 32);
  if (!pic) return CART_PNG_WRITE_FAILED;
  draw_picture(cart, pic);
  out->width = k_cart_png_width;
  out->height = k_cart_png_height;
  out->pixels.resize(static_cast<size_t>(k_pixels) * 4);
  for (int32_t i = 0; i < k_pixels; i++) {
    const uint32_t argb = vell_getpixel(pic, i % k_cart_png_width, i / k_cart_png_width);
    uint8_t *px = &out->pixels[static_cast<size_t>(i) * 4];
    px[0] = static_cast<uint8_t>(argb >> 16);
    px[1] = static_cast<uint8_t>(argb >> 8);
    px[2] = static_cast<uint8_t>(argb);
    px[3] = static_cast<uint8_t>(argb >> 24);
    place_byte(px, i < k_cart_png_payload ? payload[i] : 0);
  }
  vell_destroy_bitmap(pic);
  return CART_PNG_SAVE_OK;
}

int save_orrery_cart_png(const orrery_cart *cart, const char *path) {
  vell_rgba_image pic;
  const int result = orrery_cart_png_picture(cart, &pic);
  if (result != CART_PNG_SAVE_OK) return result;
  return vell_png_write_file(path, pic) == VELL_PNG_OK ? CART_PNG_SAVE_OK : CART_PNG_WRITE_FAILED;
}

int orrery_cart_png_status() { return g_png.status; }

orrery_cart *load_orrery_cart_png_from_memory(const void *data, size_t size) {
  vell_rgba_image pic;
  const int status = decode_cart_picture(data, size, &pic);
  if (status != CART_PNG_OK) return fail(status);
  return load_orrery_cart_png_from_picture(pic);
}

orrery_cart *load_orrery_cart_png_from_file(FILE *file) {
  if (!file) return fail(CART_PNG_NOT_CART);
  std::string bytes;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, file)) > 0) {
    bytes.append(buf, n);
    if (bytes.size() > k_vell_png_max_file) return fail(CART_PNG_UNDECODABLE);
  }
  return load_orrery_cart_png_from_memory(bytes.data(), bytes.size());
}

orrery_cart *load_orrery_cart_png(const char *path) {
  std::string bytes;
  if (vell_read_file(path, k_vell_png_max_file, &bytes) != VELL_READ_OK) return fail(CART_PNG_NOT_CART);
  return load_orrery_cart_png_with_label(bytes.data(), bytes.size());
}

orrery_cart *load_orrery_cart_png_with_label(const void *data, size_t size) {
  vell_rgba_image pic;
  const int status = decode_cart_picture(data, size, &pic);
  if (status != CART_PNG_OK) return fail(status);
  orrery_cart *cart = load_orrery_cart_png_from_picture(pic);
  if (cart) cart->label = create_label_from_picture(pic);
  return cart;
}

vell_bitmap *create_label_from_picture(const vell_rgba_image &pic) {
  if (!is_cart_picture(pic)) return nullptr;
  vell_bitmap *label = vell_create_bitmap(k_label_side, k_label_side, 8);
  if (!label) return nullptr;
  const uint8_t *palette = vell_engine_palette();
  // A label holds few colours, each in up to 64 variants of its low bits,
  // so the search is remembered per colour.
  constexpr uint32_t k_cache_bits = 12;
  std::vector<uint32_t> cache_key(1u << k_cache_bits, UINT32_MAX);
  std::vector<uint8_t> cache_index(1u << k_cache_bits);
  for (int32_t y = 0; y < k_label_side; y++) {
    const uint8_t *px =
        &pic.pixels[(static_cast<size_t>(y + k_cart_png_label_y) * k_cart_png_width + k_cart_png_label_x) *
                    4];
    for (int32_t x = 0; x < k_label_side; x++, px += 4) {
      const uint32_t rgb = static_cast<uint32_t>(px[0]) << 16 | static_cast<uint32_t>(px[1]) << 8 | px[2];
      const uint32_t slot = (rgb * 2654435761u) >> (32 - k_cache_bits);
      if (cache_key[slot] != rgb) {
        cache_key[slot] = rgb;
        cache_index[slot] = vell_nearest_colour(palette, 256, px[0], px[1], px[2], k_near_enough);
      }
      label->line[y][x] = cache_index[slot];
    }
  }
  return label;
}

vell_bitmap *create_label_from_file(const char *path) {
  std::string bytes;
  vell_rgba_image pic;
  if (vell_read_file(path, k_vell_png_max_file, &bytes) != VELL_READ_OK ||
      decode_cart_picture(bytes.data(), bytes.size(), &pic) != CART_PNG_OK)
    return nullptr;
  return create_label_from_picture(pic);
}
