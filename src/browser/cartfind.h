// The cartridge browser, a sub-screen of the console: eight lists side by
// side (the local folder, the favourites and six catalogue lists), driven by
// the console's buttons alone.
#pragma once

// Once per program run: creates the lists, reads the favourites and the
// cached catalogue pages.
void cartfind_init();
// Each time the browser opens: refreshes the local list and the favourite
// marks.
void cartfind_enter();
// Once per logical frame, and once per drawn frame, while the browser is
// the sub-screen.
void cartfind_update();
void cartfind_draw();
// The pause menu stopped a program that was started from the browser: the
// browser shows again once the program has stopped.
void cartfind_show_after_program();
// Leaving to the console: a cleared screen with the console's greeting.
void print_cartfind_exit_message();
