#include "shell/resources.h"

#include <map>

#include "gfx/bitmap.h"

namespace {

struct resource_state {
  std::unique_ptr<vell_pod> pod;         // the resource file as loaded
  std::map<int, vell_bitmap *> bitmaps;  // decoded resource-set entries
  std::vector<vell_bitmap *> glyphs;     // console font, 256 entries once loaded
  bool glyphs_loaded = false;
};

resource_state g_res;

const vell_pod *resource_set() { return vell_pod_list(vell_pod_get(g_res.pod.get(), k_pod_resource_set)); }

const vell_pod_item *resource_entry(int n, vell_pod_kind kind) {
  if (n < 0) return nullptr;
  const vell_pod_item *item = vell_pod_get(resource_set(), static_cast<size_t>(n));
  return (item && item->kind == kind) ? item : nullptr;
}

}  // namespace

vell_bitmap *vell_decode_pod_bitmap(const uint8_t *data, uint32_t size) {
  if (!data || size < 5) return nullptr;
  int32_t w = data[0] | (data[1] << 8);
  int32_t h = data[2] | (data[3] << 8);
  int32_t depth = data[4];
  if (w < 1 || h < 1 || (depth != 8 && depth != 32)) return nullptr;
  size_t need = static_cast<size_t>(w) * h * (depth / 8);
  if (size - 5 < need) return nullptr;
  vell_bitmap *b = vell_create_bitmap(w, h, depth);
  if (!b) return nullptr;
  size_t pitch = static_cast<size_t>(w) * (depth / 8);
  for (int32_t y = 0; y < h; y++) {
    const uint8_t *row = data + 5 + pitch * y;
    if (depth == 8) {
      std::copy(row, row + pitch, b->line[y]);
    } else {
      // Stored as little-endian 0xAARRGGBB words.
      uint32_t *d = reinterpret_cast<uint32_t *>(b->line[y]);
      for (int32_t x = 0; x < w; x++)
        d[x] = uint32_t(row[4 * x]) | (uint32_t(row[4 * x + 1]) << 8) | (uint32_t(row[4 * x + 2]) << 16) |
               (uint32_t(row[4 * x + 3]) << 24);
    }
  }
  return b;
}

std::vector<uint8_t> vell_encode_pod_bitmap(const vell_bitmap *b) {
  std::vector<uint8_t> out;
  if (!b) return out;
  out.push_back(static_cast<uint8_t>(b->w));
  out.push_back(static_cast<uint8_t>(b->w >> 8));
  out.push_back(static_cast<uint8_t>(b->h));
  out.push_back(static_cast<uint8_t>(b->h >> 8));
  out.push_back(static_cast<uint8_t>(b->depth));
  for (int32_t y = 0; y < b->h; y++) {
    if (b->depth == 8) {
      out.insert(out.end(), b->line[y], b->line[y] + b->w);
    } else {
      const uint32_t *r = reinterpret_cast<const uint32_t *>(b->line[y]);
      for (int32_t x = 0; x < b->w; x++)
        for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(r[x] >> (8 * i)));
    }
  }
  return out;
}

int orrery_load_resources(const std::string &path) {
  orrery_release_resources();
  int status = POD_OK;
  g_res.pod = vell_load_pod(path.c_str(), &status);
  return g_res.pod ? POD_OK : status;
}

void orrery_release_resources() {
  for (auto &kv : g_res.bitmaps) vell_destroy_bitmap(kv.second);
  g_res.bitmaps.clear();
  for (vell_bitmap *g : g_res.glyphs) vell_destroy_bitmap(g);
  g_res.glyphs.clear();
  g_res.glyphs_loaded = false;
  g_res.pod.reset();
}

const vell_pod *orrery_pod() { return g_res.pod.get(); }

std::string orrery_resource_system_cart() {
  const vell_pod_item *item = vell_pod_get(g_res.pod.get(), k_pod_system_cart);
  if (!item || (item->kind != POD_DATA && item->kind != POD_TEXT)) return "";
  return std::string(reinterpret_cast<const char *>(item->data), item->size);
}

vell_bitmap *orrery_resource_bitmap(int n) {
  auto it = g_res.bitmaps.find(n);
  if (it != g_res.bitmaps.end()) return it->second;
  const vell_pod_item *item = resource_entry(n, POD_BITMAP);
  vell_bitmap *b = item ? vell_decode_pod_bitmap(item->data, item->size) : nullptr;
  g_res.bitmaps[n] = b;
  return b;
}

const uint8_t *orrery_resource_palette() {
  const vell_pod_item *item = resource_entry(k_res_palette, POD_PALETTE);
  return (item && item->size >= 768) ? item->data : nullptr;
}

std::string orrery_resource_text(int n) {
  const vell_pod_item *item = resource_entry(n, POD_TEXT);
  return item ? std::string(reinterpret_cast<const char *>(item->data), item->size) : std::string();
}

const std::vector<vell_bitmap *> &orrery_resource_font_glyphs() {
  if (!g_res.glyphs_loaded) {
    g_res.glyphs_loaded = true;
    g_res.glyphs.assign(256, nullptr);
    const vell_pod *font = vell_pod_list(vell_pod_get(g_res.pod.get(), k_pod_console_font));
    for (size_t i = 0; font && i < 256 && i < font->items.size(); i++) {
      const vell_pod_item &g = font->items[i];
      if (g.kind == POD_BITMAP) g_res.glyphs[i] = vell_decode_pod_bitmap(g.data, g.size);
    }
  }
  return g_res.glyphs;
}

std::vector<orrery_embedded_image> orrery_resource_cart_images() {
  std::vector<orrery_embedded_image> out;
  const vell_pod *pod = g_res.pod.get();
  for (size_t i = k_pod_first_cart; pod && i < pod->items.size(); i++) {
    const vell_pod_item &item = pod->items[i];
    if (item.kind == POD_CART && item.size == 32768) out.push_back({item.name, item.data});
  }
  return out;
}
