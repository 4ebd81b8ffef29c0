// Feeds arbitrary bytes to the .q7 loader. Whatever loads must also save,
// and load again to the same cartridge (up to what the format drops on
// purpose: map rows 32-63, all-zero labels and trailing empty sounds),
// which saves to the very same text.
#include "fuzz_support.h"

namespace {

orrery_cart *load_bytes(const std::string &bytes) {
  if (bytes.empty()) return nullptr;
  FILE *f = fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "rb");
  orrery_cart *cart = f ? vell_load_orrery_cart_from_file(f) : nullptr;
  if (f) fclose(f);
  return cart;
}

std::string save(const orrery_cart *cart) {
  char *text = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&text, &len);
  check(out && vell_save_orrery_cart_to_file(cart, out) == CART_SAVE_OK);
  fclose(out);
  const std::string s(text, len);
  free(text);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  orrery_cart *cart = load_bytes(std::string(reinterpret_cast<const char *>(data), size));
  orrery_set_future_version_status(0);
  if (!cart) return 0;
  check(strlen(cart->code) <= 65535);
  const std::string text = save(cart);
  orrery_cart *again = load_bytes(text);
  check(again != nullptr && again->version == k_cart_version && strcmp(cart->code, again->code) == 0);
  check(save(again) == text);
  // The saver loses nothing but what the format drops.
  for (int32_t y = 0; y < 128; y++)
    check(memcmp(cart->gfx->line[y], again->gfx->line[y], 128) == 0 &&
          (y >= 32 || memcmp(cart->map->line[y], again->map->line[y], 128) == 0));
  check(memcmp(cart->flags, again->flags, sizeof cart->flags) == 0 &&
        memcmp(cart->music, again->music, sizeof cart->music) == 0);
  vell_destroy_orrery_cart(cart);
  vell_destroy_orrery_cart(again);
  return 0;
}
