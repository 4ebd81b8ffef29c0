#include "tools/cartkit/sheet_png.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "platform/png_image.h"
#include "tools/cartkit/cartkit.h"

namespace {

constexpr int32_t k_side = 128;         // sprite sheet and label: pixels per row and rows
constexpr int32_t k_upper_rows = 64;    // sheet rows 0-63, the part no other section shares
constexpr size_t k_colours_listed = 8;  // off-palette colours a refusal names before "and N more"

enum {
  PIC_OK = 0,
  PIC_NOT_PNG,      // no PNG signature
  PIC_UNDECODABLE,  // damaged or truncated
  PIC_GREY,         // grey-scale colour type
  PIC_16BIT,        // 16 bits per channel
  PIC_TOO_LARGE,    // wider or taller than any picture taken; width and height are set
};

// libpng's state while it reads from memory. Every field is plain data, so
// a longjmp out of libpng leaves nothing to destroy; the pixels are held in
// place (at most 128x128 of 4 bytes) rather than allocated.
struct png_job {
  const uint8_t *data;  // the whole file
  size_t size;          // its bytes
  size_t pos;           // next byte libpng reads
  png_uint_32 width, height;
  int colour_type;                   // PNG_COLOR_TYPE_PALETTE, _RGB or _RGB_ALPHA once decoded
  int channels;                      // bytes per decoded pixel: 1 (palette index), 3 or 4
  uint8_t palette[256 * 3];          // PLTE entries, RGB
  uint8_t palette_alpha[256];        // tRNS alpha per palette entry (255 where absent)
  int palette_size;                  // PLTE entries present
  bool has_key;                      // RGB with a tRNS colour key: that colour is transparent
  uint8_t key[3];                    // the key colour
  uint8_t pixels[k_side * k_side * 4];
  png_bytep rows[k_side];
};

[[noreturn]] void on_png_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_png_warning(png_structp, png_const_charp) {}

void read_png_bytes(png_structp png, png_bytep out, png_size_t count) {
  png_job *job = static_cast<png_job *>(png_get_io_ptr(png));
  if (count > job->size - job->pos) png_error(png, "truncated");
  std::memcpy(out, job->data + job->pos, count);
  job->pos += count;
}

// Decodes job->data without any colour conversion, so pixel values are the
// bytes the file holds (no gamma handling that could shift a colour).
int decode_png(png_job *job) {
  if (job->size < 8 || png_sig_cmp(job->data, 0, 8) != 0) return PIC_NOT_PNG;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
  if (!png) return PIC_UNDECODABLE;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return PIC_UNDECODABLE;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return PIC_UNDECODABLE;
  }
  png_set_read_fn(png, job, read_png_bytes);
  png_read_info(png, info);
  int bit_depth = 0, interlace = 0;
  png_get_IHDR(png, info, &job->width, &job->height, &bit_depth, &job->colour_type, &interlace, nullptr, nullptr);
  int result = PIC_OK;
  if (!(job->colour_type & PNG_COLOR_MASK_COLOR)) result = PIC_GREY;
  else if (bit_depth > 8) result = PIC_16BIT;
  else if (job->width > k_side || job->height > k_side) result = PIC_TOO_LARGE;
  if (result != PIC_OK) {
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
  }
  job->channels = job->colour_type == PNG_COLOR_TYPE_PALETTE ? 1 : job->colour_type == PNG_COLOR_TYPE_RGB ? 3 : 4;
  if (job->colour_type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp entries = nullptr;
    int count = 0;
    if (!png_get_PLTE(png, info, &entries, &count)) count = 0;
    job->palette_size = count;
    for (int i = 0; i < count && i < 256; i++) {
      job->palette[i * 3] = entries[i].red;
      job->palette[i * 3 + 1] = entries[i].green;
      job->palette[i * 3 + 2] = entries[i].blue;
    }
    std::memset(job->palette_alpha, 255, sizeof job->palette_alpha);
    png_bytep alpha = nullptr;
    int alpha_count = 0;
    if (png_get_tRNS(png, info, &alpha, &alpha_count, nullptr) && alpha)
      for (int i = 0; i < alpha_count && i < 256; i++) job->palette_alpha[i] = alpha[i];
    png_set_packing(png);  // 1, 2 and 4-bit indices to one byte each
  } else if (job->colour_type == PNG_COLOR_TYPE_RGB) {
    png_color_16p key = nullptr;
    if (png_get_tRNS(png, info, nullptr, nullptr, &key) && key) {
      job->has_key = true;
      job->key[0] = static_cast<uint8_t>(key->red);
      job->key[1] = static_cast<uint8_t>(key->green);
      job->key[2] = static_cast<uint8_t>(key->blue);
    }
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != job->width * static_cast<png_uint_32>(job->channels))
    png_error(png, "unexpected row size");
  for (png_uint_32 y = 0; y < job->height; y++) job->rows[y] = job->pixels + y * job->width * job->channels;
  png_read_image(png, job->rows);
  png_destroy_read_struct(&png, &info, nullptr);
  return PIC_OK;
}

// A picture as 8-bit RGBA, rows from the top.
struct picture {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

// Reads a PNG file of a colour type and depth the commands take. Sizes are
// checked by the caller, which knows which ones it takes; sizes_taken
// completes the message for a picture above 128 pixels a side.
int read_picture(const std::string &path, const char *sizes_taken, picture *pic, std::string *message) {
  std::string bytes;
  if (cartkit_read_input(path, k_cartkit_input_max, &bytes, message) != CARTKIT_OK) return CARTKIT_IO;
  std::unique_ptr<png_job> job(new png_job());
  job->data = reinterpret_cast<const uint8_t *>(bytes.data());
  job->size = bytes.size();
  switch (decode_png(job.get())) {
    case PIC_OK: break;
    case PIC_NOT_PNG: *message = path + " is not a PNG picture"; return CARTKIT_REFUSED;
    case PIC_UNDECODABLE: *message = path + " is damaged and cannot be decoded as a PNG picture"; return CARTKIT_REFUSED;
    case PIC_GREY:
      *message = path + " is a grey-scale picture; save it as RGB or indexed colour with the console's colours";
      return CARTKIT_REFUSED;
    case PIC_16BIT: *message = path + " has 16-bit channels; save it with 8 bits per channel"; return CARTKIT_REFUSED;
    default:
      *message = path + " is " + std::to_string(job->width) + "x" + std::to_string(job->height) + " pixels; " +
                 sizes_taken;
      return CARTKIT_REFUSED;
  }
  pic->width = static_cast<int32_t>(job->width);
  pic->height = static_cast<int32_t>(job->height);
  pic->rgba.assign(static_cast<size_t>(pic->width) * pic->height * 4, 255);
  for (int32_t i = 0; i < pic->width * pic->height; i++) {
    uint8_t *out = &pic->rgba[static_cast<size_t>(i) * 4];
    const uint8_t *in = job->pixels + static_cast<size_t>(i) * job->channels;
    if (job->channels == 1) {
      if (*in >= job->palette_size) {
        *message = path + ": pixel (" + std::to_string(i % pic->width) + ", " + std::to_string(i / pic->width) +
                   ") uses palette entry " + std::to_string(*in) + ", which the file does not define";
        return CARTKIT_REFUSED;
      }
      std::memcpy(out, job->palette + *in * 3, 3);
      out[3] = job->palette_alpha[*in];
    } else {
      std::memcpy(out, in, static_cast<size_t>(job->channels));
      if (job->has_key && std::memcmp(in, job->key, 3) == 0) out[3] = 0;
    }
  }
  return CARTKIT_OK;
}

std::string hex_colour(const uint8_t *rgba) {
  static const char digits[] = "0123456789abcdef";
  std::string s = "#";
  for (int k = 0; k < 3; k++) {
    s += digits[rgba[k] >> 4];
    s += digits[rgba[k] & 15];
  }
  if (rgba[3] != 255) s += " with alpha " + std::to_string(rgba[3]);
  return s;
}

// Turns rows 0 to rows-1 of a picture into console colours (one byte per
// pixel). A fully transparent pixel is colour 0; an opaque one must be a
// console colour exactly, unless nearest maps it (and counts it in moved).
// Partly transparent pixels are never console colours.
int match_colours(const picture &pic, int32_t rows, bool nearest, const std::string &path,
                  std::vector<uint8_t> *out, int32_t *moved, std::string *message) {
  const uint8_t *colours = cartkit_colours();
  out->assign(static_cast<size_t>(pic.width) * rows, 0);
  *moved = 0;
  std::unordered_set<uint32_t> seen;  // off-palette colours found, as RGBA words
  std::string listed;
  for (int32_t i = 0; i < pic.width * rows; i++) {
    const uint8_t *p = &pic.rgba[static_cast<size_t>(i) * 4];
    if (p[3] == 0) continue;
    int32_t found = -1;
    if (p[3] == 255)
      for (int32_t c = 0; c < 16 && found < 0; c++)
        if (std::memcmp(p, colours + c * 3, 3) == 0) found = c;
    if (found < 0 && nearest) {
      found = vell_nearest_colour(colours, 16, p[0], p[1], p[2], 0);
      ++*moved;
    }
    if (found >= 0) {
      (*out)[static_cast<size_t>(i)] = static_cast<uint8_t>(found);
      continue;
    }
    const uint32_t word = static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    if (!seen.insert(word).second || seen.size() > k_colours_listed) continue;
    listed += (seen.size() > 1 ? ", " : "") + hex_colour(p) + " at (" + std::to_string(i % pic.width) + ", " +
              std::to_string(i / pic.width) + ")";
  }
  if (seen.empty()) return CARTKIT_OK;
  *message = path + " has " + std::to_string(seen.size()) +
             (seen.size() == 1 ? " colour that is not a console colour: " : " colours that are not console colours: ") +
             listed;
  if (seen.size() > k_colours_listed) *message += " and " + std::to_string(seen.size() - k_colours_listed) + " more";
  *message += " (first pixel of each); --nearest maps every pixel to the nearest console colour";
  return CARTKIT_REFUSED;
}

std::string moved_report(int32_t moved) {
  if (moved == 0) return "";
  return ", " + std::to_string(moved) + (moved == 1 ? " pixel" : " pixels") + " moved to the nearest colour";
}

// Writes rows 0 to rows-1 of an 8-bit bitmap as an opaque picture in the
// console colours.
int write_picture(const vell_bitmap *bitmap, int32_t rows, const std::string &path, std::string *message) {
  const uint8_t *colours = cartkit_colours();
  vell_rgba_image image;
  image.width = k_side;
  image.height = rows;
  image.pixels.resize(static_cast<size_t>(k_side) * rows * 4);
  for (int32_t y = 0; y < rows; y++)
    for (int32_t x = 0; x < k_side; x++) {
      uint8_t *out = &image.pixels[(static_cast<size_t>(y) * k_side + x) * 4];
      std::memcpy(out, colours + (bitmap->line[y][x] & 15) * 3, 3);
      out[3] = 255;
    }
  std::string bytes;
  if (vell_png_encode(image, &bytes) != VELL_PNG_OK) {
    *message = "cannot encode " + path;
    return CARTKIT_IO;
  }
  return cartkit_write_output(path, bytes, message);
}

}  // namespace

int cartkit_gfx_import(orrery_cart *cart, const std::string &png, const cartkit_picture_options &options,
                       std::string *message) {
  static const char sizes[] = "the sprite sheet takes 128x128 or 128x64 pictures";
  picture pic;
  if (int r = read_picture(png, sizes, &pic, message)) return r;
  if (pic.width != k_side || (pic.height != k_side && pic.height != k_upper_rows)) {
    *message = png + " is " + std::to_string(pic.width) + "x" + std::to_string(pic.height) + " pixels; " + sizes;
    return CARTKIT_REFUSED;
  }
  // A 128x64 picture, or --map-half, leaves rows 64-127 alone: they are the
  // map's rows 32-63 as well.
  const int32_t rows = options.map_half ? k_upper_rows : pic.height;
  std::vector<uint8_t> pixels;
  int32_t moved = 0;
  if (int r = match_colours(pic, rows, options.nearest, png, &pixels, &moved, message)) return r;

  bool shared_changed = false;
  for (int32_t y = k_upper_rows; y < rows; y++)
    for (int32_t x = 0; x < k_side; x++) {
      const uint8_t before = cart->gfx->line[y][x];
      if (before != 0 && before != pixels[static_cast<size_t>(y) * k_side + x]) shared_changed = true;
    }
  for (int32_t y = 0; y < rows; y++) std::memcpy(cart->gfx->line[y], &pixels[static_cast<size_t>(y) * k_side], k_side);
  if (rows > k_upper_rows) sync_shared_gfx_to_map(cart);

  if (rows == k_side) *message = "sprite sheet: 128x128 from " + png;
  else *message = "sprite sheet: rows 0-63 from " + png + " (rows 64-127, shared with the map, kept)";
  *message += moved_report(moved);
  if (shared_changed) *message += "; rows 64-127 of the sheet are map rows 32-63 too; they changed";
  return CARTKIT_OK;
}

int cartkit_gfx_export(const orrery_cart *cart, const std::string &png, const cartkit_picture_options &options,
                       std::string *message) {
  const int32_t rows = options.map_half ? k_upper_rows : k_side;
  if (int r = write_picture(cart->gfx, rows, png, message)) return r;
  *message = "sprite sheet: " + std::string(options.map_half ? "rows 0-63 (128x64)" : "128x128") + " written to " + png;
  return CARTKIT_OK;
}

int cartkit_label_import(orrery_cart *cart, const std::string &png, const cartkit_picture_options &options,
                         std::string *message) {
  static const char sizes[] = "the label takes 128x128 pictures";
  picture pic;
  if (int r = read_picture(png, sizes, &pic, message)) return r;
  if (pic.width != k_side || pic.height != k_side) {
    *message = png + " is " + std::to_string(pic.width) + "x" + std::to_string(pic.height) + " pixels; " + sizes;
    return CARTKIT_REFUSED;
  }
  std::vector<uint8_t> pixels;
  int32_t moved = 0;
  if (int r = match_colours(pic, k_side, options.nearest, png, &pixels, &moved, message)) return r;
  if (!cart->label) {
    cart->label = vell_create_bitmap(k_side, k_side, 8);
    if (!cart->label) {
      *message = "out of memory";
      return CARTKIT_IO;
    }
  }
  for (int32_t y = 0; y < k_side; y++)
    std::memcpy(cart->label->line[y], &pixels[static_cast<size_t>(y) * k_side], k_side);
  *message = "label: 128x128 from " + png + moved_report(moved);
  // The console stores no label whose pixels are all colour 0.
  if (std::all_of(pixels.begin(), pixels.end(), [](uint8_t p) { return p == 0; }))
    *message += "; every pixel is colour 0, which a cartridge keeps as no label";
  return CARTKIT_OK;
}

int cartkit_label_export(const orrery_cart *cart, const std::string &png, std::string *message) {
  if (!cart->label || cart->label->w != k_side || cart->label->h != k_side) {
    *message = "the cartridge has no label";
    return CARTKIT_REFUSED;
  }
  if (int r = write_picture(cart->label, k_side, png, message)) return r;
  *message = "label: written to " + png;
  return CARTKIT_OK;
}
