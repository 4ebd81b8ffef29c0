// orrery-cart's picture commands: sprite sheets and labels through real PNG
// files, written here with libpng's own writer and read back with the
// console's decoder.
#include <png.h>

#include "support/test.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/sheet_png.h"

namespace {

class SheetPng : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
    vell_set_engine_palette(orrery_resource_palette());
  }
  void TearDown() override { orrery_release_resources(); }
  temp_folder dir;
};

// Writes pixels in one of libpng's simplified formats; colormap entries
// are laid out as the format's pixels.
void write_png(const std::string &path, int w, int h, png_uint_32 format, const void *pixels,
               const std::vector<uint8_t> &colormap = {}) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = format;
  image.colormap_entries = static_cast<png_uint_32>(colormap.size() / PNG_IMAGE_SAMPLE_CHANNELS(format));
  ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, colormap.empty() ? nullptr : colormap.data()))
      << image.message;
}

// An RGB picture whose pixel i is console colour (i * 7 + i / 128) % 16.
std::vector<uint8_t> console_rgb(int w, int h) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < w * h; i++) {
    const uint8_t *c = cartkit_colours() + (i * 7 + i / 128) % 16 * 3;
    rgb.insert(rgb.end(), c, c + 3);
  }
  return rgb;
}

}  // namespace

TEST_F(SheetPng, ExportThenImportGivesTheSameCartridgeForEveryBundledOne) {
  for (const std::string &path : bundled_cart_paths()) {
    cart_ptr a = load_synced(path), b = load_synced(path);
    ASSERT_TRUE(a && b) << path;
    std::string message;
    const std::string sheet = dir / "sheet.png", label = dir / "label.png";
    ASSERT_EQ(cartkit_gfx_export(a.get(), sheet, {}, &message), CARTKIT_OK) << message;
    memset(b->gfx->data, 0, 128 * 128);
    memset(b->map->line[32], 0, 128 * 32);
    ASSERT_EQ(cartkit_gfx_import(b.get(), sheet, {}, &message), CARTKIT_OK) << message;
    if (a->label) {
      ASSERT_EQ(cartkit_label_export(a.get(), label, &message), CARTKIT_OK) << message;
      vell_destroy_bitmap(b->label);
      b->label = nullptr;
      ASSERT_EQ(cartkit_label_import(b.get(), label, {}, &message), CARTKIT_OK) << message;
    } else {
      EXPECT_EQ(cartkit_label_export(a.get(), label, &message), CARTKIT_REFUSED);
      EXPECT_EQ(message, "the cartridge has no label");
    }
    EXPECT_EQ(cart_snapshot(b.get()), cart_snapshot(a.get())) << path;
  }
}

TEST_F(SheetPng, RefusedPicturesSayWhyAndLeaveTheCartridgeAlone) {
  const std::vector<uint8_t> good = console_rgb(128, 128);
  std::vector<uint8_t> off = good;  // ten colours off the palette, the first at (5, 1)
  for (int k = 0; k < 10; k++) off[(128 + 5 + k * 3) * 3] = static_cast<uint8_t>(k * 4 + 1);
  std::vector<uint8_t> faint(128 * 128 * 4, 255);  // opaque console colour 0 but one half-transparent pixel
  for (int i = 0; i < 128 * 128; i++) memcpy(&faint[i * 4], cartkit_colours(), 3);
  faint[(2 * 128 + 3) * 4 + 3] = 128;
  std::vector<uint8_t> colormap(cartkit_colours(), cartkit_colours() + 15 * 3);
  colormap.insert(colormap.end(), {0x12, 0x34, 0x56});
  std::vector<uint8_t> indices(128 * 128, 3);
  indices[7 * 128 + 5] = 15;
  const std::vector<uint16_t> wide(128 * 128 * 3, 0);
  const std::vector<uint8_t> grey(128 * 128, 0);

  const std::string p = dir / "in.png";
  struct row {
    const char *name;
    std::function<void()> make;
    bool label;
    int code;
    std::string says;
  } rows[] = {
      {"narrow", [&] { write_png(p, 100, 128, PNG_FORMAT_RGB, good.data()); }, false, CARTKIT_REFUSED,
       p + " is 100x128 pixels; the sprite sheet takes 128x128 or 128x64 pictures"},
      {"large", [&] { write_png(p, 400, 300, PNG_FORMAT_RGB, console_rgb(400, 300).data()); }, false,
       CARTKIT_REFUSED, p + " is 400x300 pixels"},
      {"label size", [&] { write_png(p, 128, 64, PNG_FORMAT_RGB, good.data()); }, true, CARTKIT_REFUSED,
       "is 128x64 pixels; the label takes 128x128 pictures"},
      {"16-bit", [&] { write_png(p, 128, 128, PNG_FORMAT_LINEAR_RGB, wide.data()); }, false, CARTKIT_REFUSED,
       p + " has 16-bit channels; save it with 8 bits per channel"},
      {"grey", [&] { write_png(p, 128, 128, PNG_FORMAT_GRAY, grey.data()); }, true, CARTKIT_REFUSED,
       p + " is a grey-scale picture"},
      {"palette off", [&] { write_png(p, 128, 128, PNG_FORMAT_RGB_COLORMAP, indices.data(), colormap); }, false,
       CARTKIT_REFUSED, p + " has 1 colour that is not a console colour: #123456 at (5, 7) (first pixel of each); "
                            "--nearest maps every pixel to the nearest console colour"},
      {"rgb off", [&] { write_png(p, 128, 128, PNG_FORMAT_RGB, off.data()); }, true, CARTKIT_REFUSED,
       " at (5, 1), "},
      {"rgb off count", [&] {}, true, CARTKIT_REFUSED, "has 10 colours that are not console colours"},
      {"rgb off more", [&] {}, true, CARTKIT_REFUSED, " at (26, 1) and 2 more (first pixel of each)"},
      {"half transparent", [&] { write_png(p, 128, 128, PNG_FORMAT_RGBA, faint.data()); }, false, CARTKIT_REFUSED,
       " with alpha 128 at (3, 2)"},
      {"not png", [&] { write_file(p, "GIF89a"); }, false, CARTKIT_REFUSED, p + " is not a PNG picture"},
      {"truncated", [&] {
         write_png(p, 128, 128, PNG_FORMAT_RGB, good.data());
         const std::string whole = read_file(p);
         write_file(p, whole.substr(0, whole.size() / 2));
       }, false, CARTKIT_REFUSED, p + " is damaged"},
      {"missing", [&] { unlink(p.c_str()); }, true, CARTKIT_IO, "cannot read " + p + ": no such file"},
  };
  cart_ptr c = load_synced(ORRERY_SOURCE_DIR "/assets/carts/games/glowworm.q7");
  ASSERT_TRUE(c);
  const std::string before = cart_snapshot(c.get());
  for (const row &r : rows) {
    r.make();
    std::string message;
    const int code = r.label ? cartkit_label_import(c.get(), p, {}, &message)
                             : cartkit_gfx_import(c.get(), p, {}, &message);
    EXPECT_EQ(code, r.code) << r.name << ": " << message;
    EXPECT_NE(message.find(r.says), std::string::npos) << r.name << ": " << message;
    EXPECT_TRUE(cart_snapshot(c.get()) == before) << r.name;
  }
}

TEST_F(SheetPng, PaletteTransparentAndNearNeighbourPixelsAreMatched) {
  std::string message;
  cart_ptr c(vell_create_orrery_cart());
  // A 4-bit palette picture in reversed console colours, entry 0 transparent.
  const uint8_t *colours = cartkit_colours();
  std::vector<uint8_t> rgba, indices(128 * 128);
  for (int k = 15; k >= 0; k--)
    rgba.insert(rgba.end(), {colours[k * 3], colours[k * 3 + 1], colours[k * 3 + 2], uint8_t(k == 15 ? 0 : 255)});
  for (int i = 0; i < 128 * 128; i++) indices[i] = static_cast<uint8_t>(i % 16);
  const std::string p = dir / "sheet.png";
  write_png(p, 128, 128, PNG_FORMAT_RGBA_COLORMAP, indices.data(), rgba);
  ASSERT_EQ(cartkit_gfx_import(c.get(), p, {}, &message), CARTKIT_OK) << message;
  EXPECT_EQ(message, "sprite sheet: 128x128 from " + p);
  expect_rows({ROW(c->gfx->line[0][0], 0), ROW(c->gfx->line[0][1], 14), ROW(c->gfx->line[0][15], 0),
               ROW(c->gfx->line[127][2], 13), ROW(c->map->line[63][1], 12 << 4 | 13)});

  // --nearest: 37 pixels one step off their colour come back to it.
  std::vector<uint8_t> rgb = console_rgb(128, 128);
  for (int i = 0; i < 37; i++) rgb[i * 300] ^= 1;
  write_png(p, 128, 128, PNG_FORMAT_RGB, rgb.data());
  ASSERT_EQ(cartkit_label_import(c.get(), p, {true, false}, &message), CARTKIT_OK) << message;
  EXPECT_EQ(message, "label: 128x128 from " + p + ", 37 pixels moved to the nearest colour");
  for (int i = 0; i < 128 * 128; i++) ASSERT_EQ(c->label->data[i], (i * 7 + i / 128) % 16) << i;
}

TEST_F(SheetPng, HalfSheetsKeepTheQuarterSharedWithTheMap) {
  const std::string p = dir / "sheet.png";
  struct row {
    const char *name;
    int height;
    bool map_half;
    bool shared_replaced;
    const char *says;
  } rows[] = {
      {"128x64 picture", 64, false, false, "rows 0-63 from"},
      {"--map-half", 128, true, false, "(rows 64-127, shared with the map, kept)"},
      {"whole sheet", 128, false, true, "; rows 64-127 of the sheet are map rows 32-63 too; they changed"},
  };
  const std::vector<uint8_t> rgb = console_rgb(128, 128);
  for (const row &r : rows) {
    cart_ptr c(vell_create_orrery_cart());
    for (int x = 0; x < 128; x++) c->map->line[40][x] = static_cast<uint8_t>(x + 1);
    sync_shared_map_to_gfx(c.get());
    const std::string map_before(reinterpret_cast<char *>(c->map->data), 128 * 64);
    write_png(p, 128, r.height, PNG_FORMAT_RGB, rgb.data());
    std::string message;
    ASSERT_EQ(cartkit_gfx_import(c.get(), p, {false, r.map_half}, &message), CARTKIT_OK) << r.name;
    EXPECT_NE(message.find(r.says), std::string::npos) << r.name << ": " << message;
    EXPECT_EQ(c->gfx->line[63][127], (8191 * 7 + 63) % 16) << r.name;
    const bool map_same = memcmp(c->map->data, map_before.data(), 128 * 64) == 0;
    EXPECT_EQ(map_same, !r.shared_replaced) << r.name;
    if (r.shared_replaced) {  // the two views agree
      EXPECT_EQ(c->map->line[32][65], c->gfx->line[65][2] | c->gfx->line[65][3] << 4) << r.name;
    }
  }

  // Export of the upper half writes a 128x64 picture of console colours.
  cart_ptr c(vell_create_orrery_cart());
  c->gfx->line[63][127] = 9;
  std::string message;
  ASSERT_EQ(cartkit_gfx_export(c.get(), p, {false, true}, &message), CARTKIT_OK) << message;
  vell_rgba_image image;
  ASSERT_EQ(vell_png_read_file(p.c_str(), &image), VELL_PNG_OK);
  EXPECT_EQ(image.width * 1000 + image.height, 128064);
  EXPECT_EQ(memcmp(&image.pixels[(63 * 128 + 127) * 4], cartkit_colours() + 27, 3), 0);
}
