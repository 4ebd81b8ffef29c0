// Feeds arbitrary bytes to the .q7 loader. Whatever loads must also save,
// and load again to the same cartridge (up to what the format drops on
// purpose: map rows 32-63, all-zero labels and trailing empty sounds).
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "gfx/bitmap.h"
#include "machine/cart_text.h"

namespace {

orrery_cart *load_bytes(const void *data, size_t size) {
  if (size == 0) return nullptr;
  std::vector<char> copy(static_cast<const char *>(data), static_cast<const char *>(data) + size);
  FILE *f = fmemopen(copy.data(), copy.size(), "rb");
  if (!f) return nullptr;
  orrery_cart *cart = vell_load_orrery_cart_from_file(f);
  fclose(f);
  return cart;
}

bool sfx_empty(const orrery_sfx &s) {
  static const orrery_sfx zero{};
  return memcmp(&s, &zero, sizeof s) == 0;
}

bool label_blank(const vell_bitmap *b) {
  return !b || std::all_of(b->data, b->data + b->w * b->h, [](uint8_t c) { return c == 0; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  orrery_cart *cart = load_bytes(data, size);
  orrery_set_future_version_status(0);
  if (!cart) return 0;
  check(strlen(cart->code) <= 65535);

  char *text = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&text, &len);
  check(out && vell_save_orrery_cart_to_file(cart, out) == CART_SAVE_OK);
  fclose(out);
  orrery_cart *again = load_bytes(text, len);
  free(text);
  check(again != nullptr && again->version == k_cart_version);

  check(strcmp(cart->code, again->code) == 0);
  for (int32_t y = 0; y < 128; y++) check(memcmp(cart->gfx->line[y], again->gfx->line[y], 128) == 0);
  for (int32_t y = 0; y < 32; y++) check(memcmp(cart->map->line[y], again->map->line[y], 128) == 0);
  check(memcmp(cart->flags, again->flags, sizeof cart->flags) == 0);
  check(memcmp(cart->music, again->music, sizeof cart->music) == 0);
  int32_t last = k_cart_sfx_count - 1;
  while (last >= 0 && sfx_empty(cart->sfx[last])) last--;
  for (int32_t s = 0; s <= last; s++) check(memcmp(&cart->sfx[s], &again->sfx[s], sizeof cart->sfx[s]) == 0);
  if (!label_blank(cart->label)) {
    check(again->label != nullptr);
    for (int32_t y = 0; y < 128; y++) check(memcmp(cart->label->line[y], again->label->line[y], 128) == 0);
  }
  vell_destroy_orrery_cart(cart);
  vell_destroy_orrery_cart(again);
  return 0;
}
