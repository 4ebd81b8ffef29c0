// The console font: the resource file's glyphs as the font object that all
// console and cartridge text is drawn with.
#pragma once

// Wraps the resource file's glyphs (which the resource file keeps owning)
// in a font object and makes it the machine's font. When the resource file
// holds no glyph at all, the engine's 5x5 font stands in, so that text stays
// readable. Call after the resource file has loaded.
void orrery_console_font_init();
// Releases the font object and clears the machine's font pointer.
void orrery_console_font_exit();
