// Persistent cartridge data: the data id of the running program, the file of
// its 64 values and when that file is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int32_t k_cdata_id_max = 64;         // longest data id
constexpr uint32_t k_cdata_write_ms = 1000;    // least time between writes while a program runs
constexpr int32_t k_cdata_read_max = 1024;     // bytes of a data file that are read
constexpr int32_t k_cdata_file_size = 520;     // 8 lines of 8 values of 8 digits and a newline

// The values themselves are pstate.cdata (memory 0x5e00-0x5eff) and their
// changed flag pstate.cdata_changed.
struct orrery_cdata_t {
  char id[k_cdata_id_max + 1] = {};  // data id of this run; "" until cartdata succeeded
  uint32_t last_write_ms = 0;        // time of the last write
};

// The data id of this run; "" until cartdata succeeded.
const char *cdata_id();

enum cdata_status {
  CDATA_LOADED = 0,       // the file was found and read
  CDATA_NO_FILE = 1,      // the id is set, but there is no readable file yet
  CDATA_NOT_RUNNING = 2,  // no cartridge program runs; nothing changed
  CDATA_ID_TAKEN = 3,     // this run already named an id
  CDATA_BAD_LENGTH = 4,   // the id is empty or longer than 64 characters
  CDATA_BAD_CHAR = 5,     // the id holds a character outside a-z, 0-9, '_'
};
// cartdata: checks and sets the id, clears the 64 values and reads the
// file when it exists. Returns a cdata_status.
int load_cdata(const char *id, size_t len);
// Clears the changed flag, then writes the file while a program runs with
// an id set; a failure to write is ignored.
void save_cdata();
// Writes the file when the values changed and more than a second passed
// since the last write (after each slice of a running program).
void save_cdata_if_due();
// Forgets the id and clears the values (a new program starts).
void clear_cdata();

// The data file of an id: data folder + id + ".q7d.txt".
std::string cdata_file_path(const char *id);
// Reads values from a file's bytes: the first 512 hexadecimal digits (other
// bytes skipped), 8 to a value; a short last group is read as the number its
// digits form, and values without digits stay 0.
void parse_cdata(const char *bytes, size_t size, int32_t values[64]);
// The file's text for the values.
std::string format_cdata(const int32_t values[64]);
