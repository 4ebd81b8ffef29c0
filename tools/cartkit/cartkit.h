// What orrery-cart's subcommands share: their result codes, the console
// colours they match pictures against, and reading and writing the
// author's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Results of every subcommand; also orrery-cart's exit status.
enum {
  CARTKIT_OK = 0,
  CARTKIT_REFUSED = 1,  // an input is malformed or out of range (the cartridge is left as it was),
                        // or, for info, the cartridge would not fit a picture
  CARTKIT_IO = 2,       // a file could not be read or written
  CARTKIT_USAGE = 3,    // the command line is not one orrery-cart knows
};

constexpr size_t k_cartkit_input_max = 16u << 20;  // longest input file read (a MIDI file, a TMX map)

// Loads the console's resource file (its palette, the picture cartridge's
// template and the title font) from beside the program or from the
// installed data folder. The picture commands and convert need it.
int cartkit_load_resources(std::string *message);
// The 16 console colours, RGB, 3 bytes each: the first 16 entries of the
// engine palette once the resources are loaded.
const uint8_t *cartkit_colours();

// Reads a whole input file (a regular file of at most max bytes). On
// failure message says which file and why ("cannot read X: no such file").
int cartkit_read_input(const std::string &path, size_t max, std::string *data, std::string *message);
// Writes an output file through a temporary file and a rename.
int cartkit_write_output(const std::string &path, const std::string &data, std::string *message);
// The file's extension in lower case with its dot (".csv"), or "".
std::string cartkit_extension(const std::string &path);
