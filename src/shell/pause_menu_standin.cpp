// Stand-in for the pause menu until it is built: the menu has no items, and
// Escape (handled by the main loop) is the only way in and out.
#include "shell/pause_menu.h"

void build_paused_menu() {}

void process_paused_keypresses() {}

void process_running_keypresses() {}

void draw_paused_menu(vell_bitmap *) {}
