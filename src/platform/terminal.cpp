#include "platform/terminal.h"

#include <cstring>

std::string vell_terminal_safe(const char *text, size_t len) {
  std::string out;
  out.reserve(len);
  for (size_t i = 0; i < len; i++) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || (c >= 0x7f && c <= 0x9f)) {
      char escape[5];
      snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string vell_terminal_safe(const char *text) { return vell_terminal_safe(text, strlen(text)); }

void vell_terminal_line(FILE *stream, const char *prefix, const std::string &text) {
  std::string line = prefix;
  line += vell_terminal_safe(text.data(), text.size());
  line += '\n';
  fwrite(line.data(), 1, line.size(), stream);
  fflush(stream);
}
