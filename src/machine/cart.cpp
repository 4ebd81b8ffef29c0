#include "machine/cart.h"

#include <cstring>
#include <new>

#include "gfx/bitmap.h"
#include "machine/hooks.h"
#include "machine/pstate.h"

namespace {

// The cartridge module's record.
struct cart_record {
  orrery_cart *working = nullptr;  // the working cartridge, not owned here
  int future_version = 0;          // a loader met a newer format
};
cart_record g_carts;

void clear_bitmap(vell_bitmap *b) {
  if (b) memset(b->data, 0, static_cast<size_t>(b->w) * b->h * (b->depth / 8));
}

}  // namespace

void orrery_clear_cart(orrery_cart *cart) {
  if (!cart) return;
  memset(cart->code, 0, sizeof cart->code);
  clear_bitmap(cart->gfx);
  clear_bitmap(cart->map);
  vell_destroy_bitmap(cart->label);
  cart->label = nullptr;
  memset(cart->sfx, 0, sizeof cart->sfx);
  for (int32_t s = 0; s < k_cart_sfx_count; s++) cart->sfx[s].speed = s == 0 ? 1 : 16;
  for (orrery_pattern &p : cart->music) {
    for (int32_t c = 0; c < 4; c++) p.channel[c] = 0x41 + c;
    p.flags = 0;
  }
  memset(cart->flags, 0, sizeof cart->flags);
  cart->version = 0;
}

orrery_cart *vell_create_orrery_cart() {
  orrery_cart *cart = new (std::nothrow) orrery_cart;
  if (!cart) return nullptr;
  cart->gfx = vell_create_bitmap(128, 128, 8);
  cart->map = vell_create_bitmap(128, 64, 8);
  cart->label = nullptr;
  if (!cart->gfx || !cart->map) {
    vell_destroy_bitmap(cart->gfx);
    vell_destroy_bitmap(cart->map);
    delete cart;
    return nullptr;
  }
  orrery_clear_cart(cart);
  return cart;
}

void vell_destroy_orrery_cart(orrery_cart *cart) {
  if (!cart) return;
  orrery_machine_hook().cart_released(cart);
  if (pstate.cart == cart) pstate.cart = nullptr;
  // A dangling working slot would let reload read freed memory.
  if (g_carts.working == cart) g_carts.working = nullptr;
  vell_destroy_bitmap(cart->gfx);
  vell_destroy_bitmap(cart->map);
  vell_destroy_bitmap(cart->label);
  delete cart;
}

orrery_cart *orrery_working_cart() { return g_carts.working; }
void orrery_set_working_cart(orrery_cart *cart) { g_carts.working = cart; }

int orrery_future_version_status() { return g_carts.future_version; }
void orrery_set_future_version_status(int on) { g_carts.future_version = on ? 1 : 0; }

