// Stand-in for the cartridge browser until it is built: it shows nothing
// and changes nothing.
#include "browser/cartfind.h"

void cartfind_init() {}

void cartfind_enter() {}

void cartfind_update() {}

void cartfind_draw() {}

void cartfind_show_after_program() {}
