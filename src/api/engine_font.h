// The engine's built-in fonts used by its own overlays.
#pragma once

// Builds vell_font1 and vell_font2.
void vell_text_init();
void vell_text_exit();
