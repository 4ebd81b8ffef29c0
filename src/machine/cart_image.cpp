#include "machine/cart_image.h"

#include <cstring>

#include "machine/cart.h"
#include "machine/memory.h"

namespace {

// Decodes a compressed code block of size bytes into code (a cartridge's
// code buffer). The compressed form is not readable yet, so every such
// block is refused: 0 on success, 1 on failure.
int decompress_cart_code(const uint8_t *block, int32_t size, char *code) {
  (void)block;
  (void)size;
  code[0] = 0;
  return 1;
}

// Stores the code in its image form at out (the rest of the image,
// zero-filled). For now this is always the plain text; 1 when it does not
// fit in 15360 bytes.
int store_cart_code(const char *code, uint8_t *out) {
  const size_t n = strlen(code);
  if (n > static_cast<size_t>(k_cart_image_code_max)) return 1;
  memset(out, 0, k_cart_image_bytes - k_cart_image_code);
  memcpy(out, code, n);
  return 0;
}

}  // namespace

int save_orrery_cart_32k(const orrery_cart *cart, uint8_t *image) {
  for (int32_t a = 0; a < k_cart_image_code; a++) image[a] = static_cast<uint8_t>(orrery_peek(nullptr, cart, a));
  if (store_cart_code(cart->code, image + k_cart_image_code) != 0) return CART_IMAGE_CODE_TOO_LARGE;
  return CART_IMAGE_OK;
}

int load_orrery_cart_32k(orrery_cart *cart, const uint8_t *image) {
  for (int32_t a = 0; a < k_cart_image_code; a++) orrery_poke(nullptr, cart, a, image[a]);
  const uint8_t *code = image + k_cart_image_code;
  memset(cart->code, 0, sizeof cart->code);
  if (memcmp(code, k_compressed_code_marker, sizeof k_compressed_code_marker) == 0)
    return decompress_cart_code(code, k_cart_image_code_max, cart->code) == 0 ? CART_IMAGE_OK : CART_IMAGE_BAD_CODE;
  // Plain text fills the block up to its first NUL, or all of it.
  memcpy(cart->code, code, k_cart_image_code_max);
  cart->code[k_cart_image_code_max] = 0;
  return CART_IMAGE_OK;
}
