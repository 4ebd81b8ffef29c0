// Stand-in for the cartridge browser screen until it is built: it makes the
// lists and fills the catalogue lists from the cache, but shows nothing.
#include "browser/browser_list.h"
#include "browser/cartfind.h"
#include "browser/catalogue.h"

void cartfind_init() {
  create_cartfind_lists();
  load_cached_catalogue_lists();
}

void cartfind_enter() {}

void cartfind_update() {}

void cartfind_draw() {}

void cartfind_show_after_program() {}
