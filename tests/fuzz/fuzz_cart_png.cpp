// Loads arbitrary bytes as a picture cartridge. An input starting with 0
// goes through the PNG decoder as it is; any other input becomes the hidden
// payload of a 160x205 picture (repeated to fill it), so that every payload
// reaches the cartridge loader without first having to be a valid PNG.
// Whatever loads must hold exactly the payload's memory bytes and a code of
// at most 65535 characters.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  if (data[0] == 0) {
    orrery_cart *cart = load_orrery_cart_png_from_memory(data + 1, size - 1);
    check((cart != nullptr) == (orrery_cart_png_status() == CART_PNG_OK));
    if (cart) check(strlen(cart->code) <= 65535);
    vell_destroy_orrery_cart(cart);
    orrery_set_future_version_status(0);
    return 0;
  }

  vell_rgba_image pic;
  pic.width = k_cart_png_width;
  pic.height = k_cart_png_height;
  pic.pixels.resize(static_cast<size_t>(pic.width) * pic.height * 4);
  std::vector<uint8_t> payload(k_cart_png_payload);
  for (size_t i = 0; i < payload.size(); i++) payload[i] = data[1 + i % (size - 1)];
  for (size_t i = 0; i < pic.pixels.size() / 4; i++) {
    const uint8_t b = i < payload.size() ? payload[i] : 0;
    // High bits from the input too, as a picture would carry them.
    for (int k = 0; k < 4; k++)
      pic.pixels[i * 4 + k] = static_cast<uint8_t>((data[i % size] & 0xfc) | (b >> (k == 3 ? 6 : 4 - 2 * k) & 3));
  }
  orrery_cart *cart = load_orrery_cart_png_from_picture(pic);
  orrery_set_future_version_status(0);
  check((cart == nullptr) == (payload[32768] > 12));
  if (!cart) return 0;
  check(strlen(cart->code) <= 65535 && cart->version == payload[32768]);
  for (int32_t a = 0; a < k_cart_image_size; a++) check(orrery_peek(nullptr, cart, a) == payload[a]);
  vell_destroy_orrery_cart(cart);
  return 0;
}
