#include "shell/pod.h"

#include <cstdio>
#include <cstring>

#include "platform/log.h"

// List layout, all integers little-endian:
//   u32 count
//   count times: u8 kind, u8 name length, name bytes, u32 data size, data

namespace {

uint32_t read_u32(const uint8_t *p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void put_u32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Parses one list held in [p, p + size); every offset is checked against the
// block's end before it is read.
int parse_list(const std::shared_ptr<std::vector<uint8_t>> &bytes, const uint8_t *p, size_t size,
               vell_pod &out) {
  out.bytes = bytes;
  out.items.clear();
  if (size < 4) return POD_TRUNCATED;
  uint32_t count = read_u32(p);
  size_t at = 4;
  // Each item takes at least 6 bytes, which bounds a hostile count.
  if (count > (size - 4) / 6) return POD_TRUNCATED;
  out.items.resize(count);
  for (uint32_t i = 0; i < count; i++) {
    if (size - at < 2) return POD_TRUNCATED;
    uint8_t kind = p[at];
    uint8_t name_len = p[at + 1];
    at += 2;
    if (size - at < name_len + 4u) return POD_TRUNCATED;
    vell_pod_item &item = out.items[i];
    item.name.assign(reinterpret_cast<const char *>(p + at), name_len);
    at += name_len;
    uint32_t data_size = read_u32(p + at);
    at += 4;
    if (size - at < data_size) return POD_TRUNCATED;
    item.kind = kind <= POD_CART ? static_cast<vell_pod_kind>(kind) : POD_DATA;
    item.data = p + at;
    item.size = data_size;
    at += data_size;
  }
  return POD_OK;
}

}  // namespace

std::unique_ptr<vell_pod> vell_parse_pod(std::shared_ptr<std::vector<uint8_t>> bytes, int *status) {
  int st = POD_OK;
  auto pod = std::make_unique<vell_pod>();
  const std::vector<uint8_t> &b = *bytes;
  if (b.size() < 8 || memcmp(b.data(), k_pod_magic, 4) != 0) st = POD_BAD_MAGIC;
  else if (read_u32(b.data() + 4) > k_pod_version) st = POD_BAD_VERSION;
  else st = parse_list(bytes, b.data() + 8, b.size() - 8, *pod);
  if (status) *status = st;
  if (st != POD_OK) return nullptr;
  return pod;
}

std::unique_ptr<vell_pod> vell_load_pod(const char *path, int *status) {
  auto bytes = std::make_shared<std::vector<uint8_t>>();
  int st = POD_UNREADABLE;
  if (FILE *f = fopen(path, "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes->insert(bytes->end(), buf, buf + n);
    if (!ferror(f)) st = POD_OK;
    fclose(f);
  }
  std::unique_ptr<vell_pod> pod;
  if (st == POD_OK) pod = vell_parse_pod(bytes, &st);
  vell_debugf("vell_load_pod: %s %s \n", path, pod ? "ok" : "failed");
  if (status) *status = st;
  return pod;
}

const vell_pod_item *vell_pod_get(const vell_pod *pod, size_t n) {
  if (!pod || n >= pod->items.size()) return nullptr;
  return &pod->items[n];
}

const vell_pod *vell_pod_list(const vell_pod_item *item) {
  if (!item || item->kind != POD_LIST || item->child_failed) return nullptr;
  if (!item->child) {
    // The nested list points into the file's bytes, which the root list
    // keeps alive for as long as this item exists.
    auto child = std::make_unique<vell_pod>();
    if (parse_list(nullptr, item->data, item->size, *child) != POD_OK) {
      item->child_failed = 1;
      return nullptr;
    }
    item->child = std::move(child);
  }
  return item->child.get();
}

void vell_pod_writer::add(vell_pod_kind kind, const std::string &name, const uint8_t *data, size_t size) {
  body.push_back(kind);
  size_t n = name.size() > 255 ? 255 : name.size();
  body.push_back(static_cast<uint8_t>(n));
  body.insert(body.end(), name.begin(), name.begin() + static_cast<long>(n));
  put_u32(body, static_cast<uint32_t>(size));
  if (size) body.insert(body.end(), data, data + size);
  count++;
}

void vell_pod_writer::add_list(const std::string &name, const vell_pod_writer &list) {
  std::vector<uint8_t> b = list.list_bytes();
  add(POD_LIST, name, b.data(), b.size());
}

std::vector<uint8_t> vell_pod_writer::list_bytes() const {
  std::vector<uint8_t> out;
  put_u32(out, count);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> vell_pod_writer::file_bytes() const {
  std::vector<uint8_t> out(k_pod_magic, k_pod_magic + 4);
  put_u32(out, k_pod_version);
  std::vector<uint8_t> list = list_bytes();
  out.insert(out.end(), list.begin(), list.end());
  return out;
}
