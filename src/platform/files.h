// Files and folders: existence, creation, listing with patterns and masks,
// dates, and writing that stays inside the folders the console owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Mode bit of a folder in a listing entry (and in vell_find_first's mask).
constexpr int32_t k_vell_folder_bit = 0x4000;

// One entry of a folder listing, and the listing's own state.
struct vell_find_result {
  char name[256];     // entry name, NUL-terminated
  int32_t mode;       // mode bits of the entry; k_vell_folder_bit for folders
  int64_t size;       // size in bytes (0 for folders)
  void *dir;          // open listing handle, owned by the listing
  std::string folder; // folder being listed, with a trailing '/'
  std::string suffix; // kept names end with this (compared without case); "" keeps all
  int32_t mask;       // an entry is kept when mode & mask is non-zero
};

// Lists folder. pattern "*<suffix>" keeps names ending in suffix; a pattern
// without '*' keeps all. Returns 0 with the first kept entry in result, or 1
// when there is none or the folder cannot be opened.
int vell_find_first(const char *folder, const char *pattern, vell_find_result *result, int32_t mask);
// The next kept entry: 0 when found, 1 when none is left.
int vell_find_next(vell_find_result *result);
void vell_find_close(vell_find_result *result);

int vell_file_exists(const char *path);       // 1 for an existing file that is not a folder
int vell_directory_exists(const char *path);  // 1 for an existing folder

// The folders that every write below stays beneath (the home folder, the
// cartridge and data folders, the desktop). A path inside one of them (the
// longest that holds it) is reached from that folder through real folders
// only: a symbolic link or a ".." step on the way below it makes the write
// fail, so a link among the cartridges (one a cartridge pack brought along,
// say) cannot lead a write out of the folder. The folders themselves may lie
// behind links of the user's own. Paths outside all of them are written as
// given. Replaces the list; empty names are skipped.
void vell_set_write_roots(const std::vector<std::string> &roots);

// Counts the calls below that change files or folders (made, written,
// renamed, removed), whatever their outcome: a host that keeps a copy of the
// home folder elsewhere (a browser's storage) copies it again when the
// count has moved since its last copy. Thread-safe.
uint32_t vell_files_changed();

// Creates one folder; 0 on success or when it exists, 1 otherwise.
int vell_make_directory(const char *path);
// Creates a folder and its missing parents; 0 on success.
int vell_make_directories(const char *path);
// Creates path as a new file open for writing and returns its descriptor, or
// -1. The file is never opened through an existing name: a regular file
// there (a leftover of an interrupted write) is replaced, anything else (a
// link, a folder) makes it fail, so a link planted at the name is never
// followed.
int vell_create_file(const char *path);
// Renames from to to (replacing a file or link at to, never following it);
// 0 on success, 1 otherwise.
int vell_rename_file(const char *from, const char *to);
// Removes the file or link at path (never what a link points to); 0 on success.
int vell_remove_file(const char *path);

enum {
  VELL_WRITE_OK = 0,
  VELL_WRITE_OPEN_FAILED = 1,  // the file could not be created
  VELL_WRITE_FAILED = 2,       // writing failed; an existing file is left as it was
  VELL_WRITE_EXISTS = 3,       // vell_write_new_file: path exists already and was left alone
};
// Writes size bytes to path through a neighbouring temporary file
// ("NAME.saving", made as vell_create_file makes files) that replaces path
// only once it was written completely, so that a failed write (a full disk,
// a crash) never leaves a half-written file. A link at path is replaced,
// not followed. Returns a VELL_WRITE_ code.
int vell_write_file_replacing(const char *path, const void *data, size_t size);
// Writes size bytes as a new file at path, never replacing one: the data go
// to a uniquely named temporary neighbour first, which then takes the name
// only if nothing holds it by then (checked and taken in one step, so two
// writers racing for a name cannot overwrite each other). Returns a
// VELL_WRITE_ code; VELL_WRITE_EXISTS when path was taken.
int vell_write_new_file(const char *path, const void *data, size_t size);

enum {
  VELL_READ_OK = 0,
  VELL_READ_MISSING = 1,    // no such file, or it could not be opened
  VELL_READ_NOT_FILE = 2,   // a folder, device, FIFO or socket: never read
  VELL_READ_TOO_LARGE = 3,  // longer than the bound; nothing is returned
  VELL_READ_FAILED = 4,     // reading stopped with an error
};
// Reads the whole of a regular file of at most max_bytes into out. The file
// is opened without blocking and checked to be a regular file before any
// byte is read, so a path naming a FIFO or a device (a cartridge that is a
// link to one, say) cannot stall or flood the console. Returns a VELL_READ_
// code; out is emptied on failure.
int vell_read_file(const char *path, size_t max_bytes, std::string *out);

// Today's local date as year*10000 + month*100 + day, or 0 (logged) on failure.
int32_t vell_get_date(int32_t *year, int32_t *month, int32_t *day);

struct vell_datetime {
  int32_t year, month, day, hour, minute, second;
};
// The current time in local time (local = 1) or UTC.
void vell_get_datetime(vell_datetime *out, int local);
// Writes "%Y-%m-%d %H:%M:%S" of t in local time into text (at least 20 bytes).
void vell_print_date(int64_t t, char *text);
