// The pause menu over a running cartridge, and the shell's keys during a run.
#pragma once

struct vell_bitmap;

// Rebuilds the menu's item table.
void build_paused_menu();
// Navigation and choice; once per logical frame while the menu is open.
void process_paused_keypresses();
// The keys of a running cartridge (Ctrl+R, Ctrl+S, Ctrl+V, the pause button).
void process_running_keypresses();
// Draws the menu on the page.
void draw_paused_menu(vell_bitmap *page);
