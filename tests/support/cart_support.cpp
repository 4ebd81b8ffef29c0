#include "support/cart_support.h"

#include <algorithm>
#include <filesystem>

#include "gfx/bitmap.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "support/test.h"

void cart_deleter::operator()(orrery_cart *c) const { vell_destroy_orrery_cart(c); }

orrery_cart *load_q7_text(const std::string &text) {
  std::string data = text;
  // fmemopen refuses an empty buffer; an empty temporary file reads the same.
  FILE *f = data.empty() ? tmpfile() : fmemopen(data.data(), data.size(), "rb");
  if (!f) return nullptr;
  orrery_cart *cart = vell_load_orrery_cart_from_file(f);
  fclose(f);
  return cart;
}

std::string save_q7_text(const orrery_cart *cart) {
  char *buf = nullptr;
  size_t size = 0;
  FILE *f = open_memstream(&buf, &size);
  if (!f) return "";
  vell_save_orrery_cart_to_file(cart, f);
  fclose(f);
  std::string out(buf, size);
  free(buf);
  return out;
}

void expect_note(const orrery_note &n, int32_t pitch, int32_t waveform, int32_t volume, int32_t effect,
                 int32_t custom) {
  EXPECT_EQ(n.pitch, pitch) << "pitch";
  EXPECT_EQ(n.waveform, waveform) << "waveform";
  EXPECT_EQ(n.volume, volume) << "volume";
  EXPECT_EQ(n.effect, effect) << "effect";
  EXPECT_EQ(n.custom, custom) << "custom flag";
}

std::string noise_code(size_t n) {
  std::string s;
  for (uint32_t seed = 5; s.size() < n;) s += static_cast<char>(0x80 + ((seed = seed * 1103515245 + 12345) >> 25));
  return s;
}

namespace {

// The real data.pod's first items (system cartridge, resources, font),
// then the given cartridge images, written into dir.
std::string write_pod(const temp_folder &dir, const std::vector<uint8_t> *head) {
  const std::unique_ptr<vell_pod> pod = vell_load_pod(ORRERY_BUILD_DIR "/data.pod");
  vell_pod_writer w;
  for (size_t i = 0; i < k_pod_first_cart; i++) {
    const vell_pod_item &item = pod->items[i];
    w.add(item.kind, item.name, item.data, item.size);
  }
  if (head) w.add(POD_CART, "head", head->data(), head->size());
  const std::vector<uint8_t> bytes = w.file_bytes();
  write_file(dir / "data.pod", std::string(bytes.begin(), bytes.end()));
  return dir.path;
}

}  // namespace

std::string pod_without_carts(const temp_folder &dir) { return write_pod(dir, nullptr); }

std::string pod_with_head_cart(const temp_folder &dir, const std::string &code) {
  cart_ptr cart(load_q7_text("orrery cartridge // test\nversion 12\n__lua__\n" + code + "\n"));
  std::vector<uint8_t> image(k_cart_image_bytes);
  EXPECT_TRUE(cart && save_orrery_cart_32k(cart.get(), image.data()) == CART_IMAGE_OK);
  return write_pod(dir, &image);
}

std::vector<std::string> bundled_cart_paths() {
  std::vector<std::string> paths;
  for (const char *folder : {"demos", "games"})
    for (const auto &e : std::filesystem::directory_iterator(std::string(ORRERY_SOURCE_DIR "/assets/carts/") + folder))
      if (e.path().extension() == ".q7") paths.push_back(e.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

cart_ptr load_synced(const std::string &path) {
  cart_ptr c(vell_load_orrery_cart(path.c_str()));
  if (c) orrery_sync_shared_quarter(c.get());
  return c;
}

std::string cart_snapshot(const orrery_cart *cart) {
  return vell_orrery_cart_text(cart) + std::string(reinterpret_cast<const char *>(cart->map->data), 128 * 64);
}
