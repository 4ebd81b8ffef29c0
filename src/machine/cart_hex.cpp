#include "machine/cart_hex.h"

#include <cstring>
#include <string>

#include "platform/files.h"

namespace {

constexpr char k_open_tag[] = "[cart]";
constexpr char k_close_tag[] = "[/cart]";
constexpr char k_digits[] = "0123456789abcdef";

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char *skip_space(const char *p) {
  while (is_space(*p)) p++;
  return p;
}

}  // namespace

int convert_binary_file_to_hex(const char *in_path, const char *out_path) {
  std::string data;
  if (vell_read_file(in_path, k_cart_hex_max_file, &data) != VELL_READ_OK) return CART_HEX_NO_INPUT;
  std::string text = k_open_tag;
  text.reserve(data.size() * 2 + sizeof k_open_tag + sizeof k_close_tag);
  for (unsigned char b : data) {
    text += k_digits[b >> 4];
    text += k_digits[b & 15];
  }
  text += k_close_tag;
  return vell_write_file_replacing(out_path, text.data(), text.size()) == VELL_WRITE_OK ? CART_HEX_OK
                                                                                        : CART_HEX_NO_OUTPUT;
}

int convert_hex_to_binary_file(const char *text, const char *out_path) {
  if (!text) return HEX_CART_NOT_CART;
  const char *p = skip_space(text);
  if (strncmp(p, k_open_tag, strlen(k_open_tag)) != 0) return HEX_CART_NOT_CART;
  p += strlen(k_open_tag);
  std::string data;
  for (;;) {
    p = skip_space(p);
    if (*p == '[') break;
    const int hi = digit_value(*p);
    if (hi < 0) return HEX_CART_NOT_CART;
    p = skip_space(p + 1);
    const int lo = digit_value(*p);
    if (lo < 0) return HEX_CART_NOT_CART;
    p++;
    data += static_cast<char>(hi << 4 | lo);
  }
  if (strncmp(p, k_close_tag, strlen(k_close_tag)) != 0) return HEX_CART_NOT_CART;
  return vell_write_file_replacing(out_path, data.data(), data.size()) == VELL_WRITE_OK ? HEX_CART_OK
                                                                                       : HEX_CART_NO_OUTPUT;
}
