// Cartridges carried by the resource file: the table of their names and
// hashes, the virtual disk that holds them as files, and the sandboxed
// store file each cartridge's cstore data goes to.
#pragma once

#include <cstdint>
#include <string>

struct orrery_cart;

constexpr int32_t k_embedded_max = 64;        // entries of the embedded table
constexpr size_t k_embedded_name_max = 255;   // characters of an entry's name

// Empties the table of embedded cartridges and the virtual disk.
void clear_embedded_carts();
// Enters a cartridge from the resource file under its name (a full table
// ignores it) and writes it as a text cartridge to the virtual disk under
// that name, so that load, reload and cstore find it by name.
void mount_embedded_cart(const orrery_cart *cart, const char *name);
// The hash of the embedded cartridge whose name is name's file name
// ("" when none).
std::string get_embedded_cart_hash_for_filename(const std::string &name);
// The name of the embedded cartridge with that hash ("" when none).
std::string get_embedded_cart_filename_for_hash(const std::string &hash);
// Where a cartridge's own cstore data lives: "cstore/__<hash>.q7" in the
// home folder.
std::string get_sandboxed_cstore_filename(const std::string &hash);

// The virtual disk: files kept in memory under their file name, whatever
// folder a path names. Reading a path that does not exist on the real disk
// falls back to the virtual file of the same name.
void vdisk_write(const std::string &name, const std::string &bytes);
// 1 and the bytes when a virtual file of path's file name exists, else 0.
int vdisk_read(const std::string &path, std::string *bytes);

// Reads a cartridge file of at most max_bytes: from the disk (a regular
// file only), or from the virtual disk when no file is at path. 0 on
// success, 1 otherwise.
int read_cart_source(const std::string &path, size_t max_bytes, std::string *bytes);
