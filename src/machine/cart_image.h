// The 32 KB cartridge image: memory 0x0000-0x42ff followed by the code,
// as embedded cartridges, picture cartridges and the cartridge hash store
// it; and the hash itself.
#pragma once

#include <cstdint>

#include "machine/memory.h"

struct orrery_cart;

constexpr int32_t k_cart_image_bytes = 32768;  // whole image
constexpr int32_t k_cart_image_code = k_cart_image_size;  // offset of the code, after memory 0x0000-0x42ff
constexpr int32_t k_cart_image_code_max = 15360;  // code bytes; the 256 after them stay zero
constexpr int32_t k_cart_hash_chars = 40;         // lower-case hexadecimal digits of a cartridge hash

// The first four bytes of a compressed code block.
constexpr uint8_t k_compressed_code_marker[4] = {':', 'c', ':', 0};

enum {
  CART_IMAGE_OK = 0,
  CART_IMAGE_CODE_TOO_LARGE = 1,  // save: the stored code does not fit in 15360 bytes
  CART_IMAGE_BAD_CODE = 2,        // load: the code block is damaged; the code decoded before the damage is kept
};

// Fills image (32768 bytes) from the cartridge: memory read through the
// cartridge's memory view, then the code compressed (or plain, when that is
// not longer), zero-filled to the end. Returns CART_IMAGE_OK or
// CART_IMAGE_CODE_TOO_LARGE (the image's code part is undefined then).
int save_orrery_cart_32k(const orrery_cart *cart, uint8_t *image);
// Writes image bytes 0-0x42ff into the cartridge by the memory write rule
// and takes its code from the rest: a compressed block when it starts with
// the marker, else plain text up to the first NUL (at most 15360
// characters). Returns CART_IMAGE_OK or CART_IMAGE_BAD_CODE.
int load_orrery_cart_32k(orrery_cart *cart, const uint8_t *image);
// Bytes the cartridge's code takes in an image (compressed, or plain when
// that is not longer); above k_cart_image_code_max it does not fit.
int32_t cart_code_stored_size(const orrery_cart *cart);

// The cartridge hash: SHA-1 of the 32768-byte image (memory and stored
// code, zero elsewhere) as 40 lower-case hexadecimal digits and a NUL in
// out (41 bytes). Code too long for the image is replaced, for the hash
// only, by the digits of its own SHA-1. The label takes no part.
void hash_cart(const orrery_cart *cart, char *out);
