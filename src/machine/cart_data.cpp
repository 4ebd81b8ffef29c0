#include "machine/cart_data.h"

#include <cstdio>
#include <cstring>

#include "machine/app_config.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

// The persistent data slot of the running cartridge: its id set by
// cartdata, cleared by clear_cdata; the values live in pstate.
orrery_cdata_t g_cdata;

constexpr int32_t k_digits_per_value = 8;

bool id_char_ok(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }

int32_t hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string cdata_file_path(const char *id) { return std::string(orrery_config().cdata_path) + id + ".q7d.txt"; }

void parse_cdata(const char *bytes, size_t size, int32_t values[64]) {
  int32_t digits = 0;
  uint32_t value = 0;
  for (size_t i = 0; i < size && digits < k_cdata_values * k_digits_per_value; i++) {
    const int32_t h = hex_value(bytes[i]);
    if (h < 0) continue;
    value = (value << 4) | static_cast<uint32_t>(h);
    digits++;
    values[(digits - 1) / k_digits_per_value] = static_cast<int32_t>(value);
    if (digits % k_digits_per_value == 0) value = 0;
  }
}

std::string format_cdata(const int32_t values[64]) {
  std::string text;
  char digits[12];
  for (int32_t i = 0; i < k_cdata_values; i++) {
    snprintf(digits, sizeof digits, "%08x", static_cast<uint32_t>(values[i]));
    text += digits;
    if (i % 8 == 7) text += '\n';
  }
  return text;
}

int load_cdata(const char *id, size_t len) {
  if (!pstate.program_started) return CDATA_NOT_RUNNING;
  if (g_cdata.id[0]) return CDATA_ID_TAKEN;
  if (len == 0 || len > static_cast<size_t>(k_cdata_id_max)) return CDATA_BAD_LENGTH;
  for (size_t i = 0; i < len; i++)
    if (!id_char_ok(id[i])) return CDATA_BAD_CHAR;

  memcpy(g_cdata.id, id, len);
  g_cdata.id[len] = 0;
  memset(pstate.cdata, 0, sizeof pstate.cdata);

  FILE *f = fopen(cdata_file_path(g_cdata.id).c_str(), "rb");
  if (!f) return CDATA_NO_FILE;
  char bytes[k_cdata_read_max];
  const size_t n = fread(bytes, 1, sizeof bytes, f);
  fclose(f);
  parse_cdata(bytes, n, pstate.cdata);
  return CDATA_LOADED;
}

void save_cdata() {
  pstate.cdata_changed = 0;
  if (!pstate.program_started || !g_cdata.id[0]) return;
  const std::string text = format_cdata(pstate.cdata);
  vell_write_file_replacing(cdata_file_path(g_cdata.id).c_str(), text.data(), text.size());
  g_cdata.last_write_ms = vell_get_time();
}

void save_cdata_if_due() {
  if (!pstate.cdata_changed) return;
  if (vell_get_time() - g_cdata.last_write_ms <= k_cdata_write_ms) return;
  save_cdata();
}

const char *cdata_id() { return g_cdata.id; }

void clear_cdata() {
  // The time of the last write stays: it spaces writes across programs too.
  orrery_cdata_t fresh;
  fresh.last_write_ms = g_cdata.last_write_ms;
  g_cdata = fresh;
  memset(pstate.cdata, 0, sizeof pstate.cdata);
  pstate.cdata_changed = 0;
}
