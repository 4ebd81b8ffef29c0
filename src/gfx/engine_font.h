// The engine's built-in fonts used by its own overlays: building and freeing them.
#pragma once

// Builds vell_font1 and vell_font2 from vell_font1_dat.
void vell_text_init();
// Frees both engine fonts.
void vell_text_exit();
