#include "machine/cart_image.h"

#include <nettle/sha1.h>

#include <cstring>
#include <vector>

#include "machine/cart.h"
#include "machine/code_compress.h"
#include "machine/memory.h"

namespace {

// Writes the code's stored form at out (15616 bytes, zero-filled after it):
// the compressed block, or the plain text when that is not longer. Returns
// the stored size; above k_cart_image_code_max nothing is written.
int32_t store_cart_code(const char *code, int32_t len, uint8_t *out) {
  std::vector<uint8_t> block;
  compress_mini(code, len, &block);
  // The three characters ":c:" stored plainly would be followed by the zero
  // fill and read back as an empty block, so they are stored compressed.
  if (len == 3 && memcmp(code, k_compressed_code_marker, 3) == 0) compress_mini_block(code, len, &block);
  const int32_t size = static_cast<int32_t>(block.size());
  if (size > k_cart_image_code_max) return size;
  memset(out, 0, k_cart_image_bytes - k_cart_image_code);
  if (size > 0) memcpy(out, block.data(), block.size());
  return size;
}

void hex_digest(const uint8_t *digest, char *out) {
  static const char k_hex[] = "0123456789abcdef";
  for (int i = 0; i < SHA1_DIGEST_SIZE; i++) {
    out[2 * i] = k_hex[digest[i] >> 4];
    out[2 * i + 1] = k_hex[digest[i] & 15];
  }
  out[2 * SHA1_DIGEST_SIZE] = 0;
}

void sha1_hex(const uint8_t *data, size_t size, char *out) {
  sha1_ctx ctx;
  uint8_t digest[SHA1_DIGEST_SIZE];
  sha1_init(&ctx);
  sha1_update(&ctx, size, data);
  sha1_digest(&ctx, SHA1_DIGEST_SIZE, digest);
  hex_digest(digest, out);
}

int32_t code_length(const orrery_cart *cart) {
  return static_cast<int32_t>(strnlen(cart->code, k_cart_code_size - 1));
}

}  // namespace

int32_t cart_code_stored_size(const orrery_cart *cart) {
  std::vector<uint8_t> block;
  return compress_mini(cart->code, code_length(cart), &block);
}

int save_orrery_cart_32k(const orrery_cart *cart, uint8_t *image) {
  for (int32_t a = 0; a < k_cart_image_code; a++) image[a] = static_cast<uint8_t>(orrery_peek(nullptr, cart, a));
  if (store_cart_code(cart->code, code_length(cart), image + k_cart_image_code) > k_cart_image_code_max)
    return CART_IMAGE_CODE_TOO_LARGE;
  return CART_IMAGE_OK;
}

int load_orrery_cart_32k(orrery_cart *cart, const uint8_t *image) {
  for (int32_t a = 0; a < k_cart_image_code; a++) orrery_poke(nullptr, cart, a, image[a]);
  const uint8_t *code = image + k_cart_image_code;
  if (memcmp(code, k_compressed_code_marker, sizeof k_compressed_code_marker) == 0) {
    int32_t len = 0;
    const int status = decompress_mini(code, k_cart_image_code_max, cart->code, k_cart_code_size - 1, &len);
    cart->code[k_cart_code_size - 1] = 0;
    return status == MINI_OK ? CART_IMAGE_OK : CART_IMAGE_BAD_CODE;
  }
  // Plain text fills the block up to its first NUL, or all of it.
  memset(cart->code, 0, sizeof cart->code);
  memcpy(cart->code, code, k_cart_image_code_max);
  return CART_IMAGE_OK;
}

void hash_cart(const orrery_cart *cart, char *out) {
  std::vector<uint8_t> image(k_cart_image_bytes, 0);
  for (int32_t a = 0; a < k_cart_image_code; a++) image[a] = static_cast<uint8_t>(orrery_peek(nullptr, cart, a));
  uint8_t *code = image.data() + k_cart_image_code;
  if (store_cart_code(cart->code, code_length(cart), code) > k_cart_image_code_max) {
    // Code too long to store stands for itself by its own digest.
    char digest[2 * SHA1_DIGEST_SIZE + 1];
    sha1_hex(reinterpret_cast<const uint8_t *>(cart->code), static_cast<size_t>(code_length(cart)), digest);
    store_cart_code(digest, 2 * SHA1_DIGEST_SIZE, code);
  }
  sha1_hex(image.data(), image.size(), out);
}
