// The cartridge browser, a sub-screen of the console.
#pragma once

// Once per program run: creates the lists.
void cartfind_init();
// Each time the browser opens.
void cartfind_enter();
// Once per logical frame, and once per drawn frame, while the browser is
// the sub-screen.
void cartfind_update();
void cartfind_draw();
// The pause menu stopped a program that was started from the browser: the
// browser shows again once the program has stopped.
void cartfind_show_after_program();
