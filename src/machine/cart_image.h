// The 32 KB cartridge image: memory 0x0000-0x42ff followed by the code,
// as embedded cartridges and the cartridge hash store it.
#pragma once

#include <cstdint>

#include "machine/memory.h"

struct orrery_cart;

constexpr int32_t k_cart_image_bytes = 32768;  // whole image
constexpr int32_t k_cart_image_code = k_cart_image_size;  // offset of the code, after memory 0x0000-0x42ff
constexpr int32_t k_cart_image_code_max = 15360;  // code bytes; the 256 after them stay zero

// The first four bytes of a compressed code block.
constexpr uint8_t k_compressed_code_marker[4] = {':', 'c', ':', 0};

enum {
  CART_IMAGE_OK = 0,
  CART_IMAGE_CODE_TOO_LARGE = 1,  // save: the code does not fit in 15360 bytes
  CART_IMAGE_BAD_CODE = 2,        // load: the code block cannot be decoded
};

// Fills image (32768 bytes) from the cartridge: memory read through the
// cartridge's memory view, then the code, zero-filled to the end. Returns
// CART_IMAGE_OK or CART_IMAGE_CODE_TOO_LARGE (image contents undefined then).
int save_orrery_cart_32k(const orrery_cart *cart, uint8_t *image);
// Writes image bytes 0-0x42ff into the cartridge by the memory write rule
// and takes its code from the rest. Returns CART_IMAGE_OK or
// CART_IMAGE_BAD_CODE (the cartridge's code is then empty).
int load_orrery_cart_32k(orrery_cart *cart, const uint8_t *image);
