// Sound effects and music patterns in a readable text notation, to and
// from a cartridge without loss.
#pragma once

#include <string>

struct orrery_cart;

// Parses the notation into the cartridge (only the sounds or patterns the
// text names are replaced); the cartridge is unchanged on failure, and
// message names the line and the fault.
int cartkit_parse_sfx(const std::string &text, orrery_cart *cart, std::string *message);
int cartkit_parse_music(const std::string &text, orrery_cart *cart, std::string *message);
// The notation of every sound or pattern that differs from the empty
// cartridge's.
std::string cartkit_format_sfx(const orrery_cart *cart);
std::string cartkit_format_music(const orrery_cart *cart);

// The subcommands: sfx import/export and music import/export of text files.
int cartkit_sfx_import(orrery_cart *cart, const std::string &path, std::string *message);
int cartkit_sfx_export(const orrery_cart *cart, const std::string &path, std::string *message);
int cartkit_music_import_text(orrery_cart *cart, const std::string &path, std::string *message);
int cartkit_music_export(const orrery_cart *cart, const std::string &path, std::string *message);
