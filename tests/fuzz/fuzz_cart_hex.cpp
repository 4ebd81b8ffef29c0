// Feeds arbitrary clipboard text to the clipboard cartridge decoder. What it
// accepts must encode back to the same text, up to white space and the
// case of the digits.
#include "fuzz_support.h"

namespace {

std::string g_folder;  // a temporary folder for the two files

void remove_folder() {
  unlink((g_folder + "/clip.png").c_str());
  unlink((g_folder + "/clip.hex").c_str());
  rmdir(g_folder.c_str());
}

std::string normalised(const std::string &text) {
  std::string out;
  for (char c : text)
    if (!isspace(static_cast<unsigned char>(c))) out += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (g_folder.empty()) {
    char tmpl[] = "/tmp/orrery-fuzz-hex-XXXXXX";
    check(mkdtemp(tmpl) != nullptr);
    g_folder = tmpl;
    atexit(remove_folder);
  }
  const std::string text(reinterpret_cast<const char *>(data), size);
  const std::string bin = g_folder + "/clip.png", hex = g_folder + "/clip.hex";
  unlink(bin.c_str());
  if (convert_hex_to_binary_file(text.c_str(), bin.c_str()) != HEX_CART_OK) return 0;
  check(convert_binary_file_to_hex(bin.c_str(), hex.c_str()) == CART_HEX_OK);
  std::string back;
  check(vell_read_file(hex.c_str(), 4 * size + 64, &back) == VELL_READ_OK);
  // Text from the first NUL on is not seen; anything after the closing tag
  // is ignored.
  const std::string seen = normalised(text.substr(0, text.find('\0')));
  check(seen.compare(0, back.size(), back) == 0);
  return 0;
}
