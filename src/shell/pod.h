// The resource file format: an ordered list of named items whose data blocks
// may hold nested lists, which are parsed only when first asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What an item's data block holds.
enum vell_pod_kind : uint8_t {
  POD_EMPTY = 0,    // a gap in a numbered list; no data
  POD_DATA = 1,     // raw bytes
  POD_LIST = 2,     // a nested list, in the list layout below
  POD_TEXT = 3,     // text without terminator
  POD_PALETTE = 4,  // 256 entries of red, green, blue
  POD_BITMAP = 5,   // u16 width, u16 height, u8 depth (8 or 32), then the pixels
  POD_CART = 6,     // a 32768-byte cartridge image; the item name is the cartridge's name
};

struct vell_pod;

struct vell_pod_item {
  std::string name;
  vell_pod_kind kind = POD_EMPTY;
  const uint8_t *data = nullptr;  // points into the file's bytes
  uint32_t size = 0;
  mutable std::unique_ptr<vell_pod> child;  // the nested list once parsed
  mutable int child_failed = 0;             // 1 when the nested list was malformed
};

struct vell_pod {
  std::shared_ptr<std::vector<uint8_t>> bytes;  // the whole file, shared by nested lists
  std::vector<vell_pod_item> items;
};

enum vell_pod_status {
  POD_OK = 0,
  POD_UNREADABLE = 1,  // the file cannot be opened or read
  POD_BAD_MAGIC = 2,   // not a resource file
  POD_TRUNCATED = 3,   // an item runs past the end of its block
  POD_BAD_VERSION = 4, // written by a newer format
};

// The file starts with these 4 bytes and a little-endian 32-bit version.
constexpr char k_pod_magic[4] = {'V', 'P', 'O', 'D'};
constexpr uint32_t k_pod_version = 1;

// Loads the resource file; logs "vell_load_pod: <path> ok|failed". Returns
// null on failure (status, when given, says why).
std::unique_ptr<vell_pod> vell_load_pod(const char *path, int *status = nullptr);
// Parses a whole file image held in memory.
std::unique_ptr<vell_pod> vell_parse_pod(std::shared_ptr<std::vector<uint8_t>> bytes, int *status);

// Item n of a list, or null when there is none.
const vell_pod_item *vell_pod_get(const vell_pod *pod, size_t n);
// The nested list of an item, parsed on first use; null when the item is not
// a list or its data is malformed.
const vell_pod *vell_pod_list(const vell_pod_item *item);

// Builds a resource file image. Items are appended in order; a nested list
// is built with a writer of its own and added with add_list.
struct vell_pod_writer {
  std::vector<uint8_t> body;  // the list's items, without the count
  uint32_t count = 0;

  void add(vell_pod_kind kind, const std::string &name, const uint8_t *data, size_t size);
  void add_list(const std::string &name, const vell_pod_writer &list);
  // The list layout: u32 count, then the items.
  std::vector<uint8_t> list_bytes() const;
  // The whole file: magic, version, then the list.
  std::vector<uint8_t> file_bytes() const;
};
