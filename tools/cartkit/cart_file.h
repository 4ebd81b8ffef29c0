// A cartridge file opened for editing. A text cartridge keeps the author's
// own text: only the sections whose data a command changed are written
// anew, in the console's format, and everything else (the code, the first
// lines, comments between sections, line ends) stays byte for byte.
#pragma once

#include <string>

struct orrery_cart;

struct cartkit_file {
  std::string path;
  bool picture = false;             // a .q7.png (always written whole)
  std::string text;                 // a text cartridge as read
  orrery_cart *cart = nullptr;      // the data; commands change this
  orrery_cart *original = nullptr;  // the data as read, to tell what changed
};

// Sections of a text cartridge, in the order the console writes them.
enum : unsigned {
  CART_SECTION_GFX = 1u << 0,
  CART_SECTION_LABEL = 1u << 1,
  CART_SECTION_GFF = 1u << 2,
  CART_SECTION_MAP = 1u << 3,
  CART_SECTION_SFX = 1u << 4,
  CART_SECTION_MUSIC = 1u << 5,
  CART_SECTION_CODE = 1u << 6,
};

// Reads a cartridge as the console would (a picture first, then text),
// without bringing an old format up to date: that happens only if the file
// has to be written whole. CARTKIT_IO when it cannot be read,
// CARTKIT_REFUSED when it is not a cartridge or is from a newer console.
int cartkit_open(const std::string &path, cartkit_file *file, std::string *message);
// Writes what changed back to the file (nothing when nothing changed). For a
// text cartridge the result is read back and must give exactly the
// changed data, else the whole file is written in the current format (a
// file from an older version, say) and message says so.
int cartkit_save(cartkit_file *file, std::string *message);
void cartkit_close(cartkit_file *file);

// The sections in which two cartridges differ (CART_SECTION_ bits).
unsigned cartkit_changed_sections(const orrery_cart *a, const orrery_cart *b);
// The author's text with the given sections replaced by the cartridge's
// data as the console writes it; sections missing from the text are
// inserted where the console would put them, and a section with nothing
// to write (a blank label) is removed.
std::string cartkit_splice(const std::string &text, const orrery_cart *cart, unsigned sections);

// info: characters, tokens, compressed size against the picture limit and
// the non-empty data sections, as lines of text. CARTKIT_REFUSED when the
// cartridge would not fit a picture.
int cartkit_info(const std::string &path, std::string *report);
// convert: IN to OUT, a text cartridge or a picture by OUT's name, with
// the console's size rules and messages.
int cartkit_convert(const std::string &in, const std::string &out, std::string *message);
