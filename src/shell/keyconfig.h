// The key configuration screen, a sub-screen of the console.
#pragma once

// Starts the screen at its first slot.
void keyconfig_init();
// Once per logical frame while the screen is the sub-screen.
void keyconfig_update();
// Draws the screen into the console's screen memory.
void keyconfig_draw();
