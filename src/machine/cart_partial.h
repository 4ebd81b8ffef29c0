// reload and cstore with a file: copying part of another cartridge file into
// memory, storing part of memory into a cartridge file, and the list of the
// files stored so far.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t k_stored_files_max = 256;  // distinct files cstore may write in one session
constexpr int32_t k_raw_image_bytes = 17152;  // a ".bin" memory image: 0x0000-0x42ff

// The file reload and cstore use for a name a program gave: an embedded
// cartridge's name gives that cartridge's sandboxed store file; any other
// name (a leading '/' dropped) a file under "cstore/" in the home folder.
// 0 with the path in out; 1 when the name is refused (512 characters or
// more, starting with "__", or leading out of "cstore/").
int cstore_path_for_name(const std::string &name, std::string *out);

enum {
  PARTIAL_OK = 0,
  PARTIAL_LOAD_FAILED = 1,  // reload: the file is not a cartridge
  PARTIAL_SAVE_FAILED = 2,  // cstore: the file could not be written
  PARTIAL_LIST_FULL = 3,    // cstore: 256 files were stored already
};

// Loads path (picture, text, or for a ".bin" path a raw memory image) and
// copies len bytes from its src to live memory at dest (0 from 0x4300 on);
// a len outside 1-32767 copies nothing. An embedded cartridge's store file
// that cannot be read falls back to the cartridge itself, through the
// virtual disk. Returns a PARTIAL_ code.
int reload_cart_partial(const std::string &path, int32_t dest, int32_t src, int32_t len);
// Copies len bytes of live memory from src into the cartridge file path at
// dest (and into the working cartridge with also_working): the file is
// loaded (a picture when path holds ".png", else text; an empty cartridge
// when that fails), changed and written back in the same format. Returns a
// PARTIAL_ code.
int cstore_cart_partial(const std::string &path, int32_t dest, int32_t src, int32_t len, bool also_working);

// Number of distinct files stored with cstore so far.
int32_t stored_file_count();
void clear_stored_files();
