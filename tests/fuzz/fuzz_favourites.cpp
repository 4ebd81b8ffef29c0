// Reads arbitrary bytes as a favourites file: nothing may crash, every
// favourite must come out clean and unique, and what is written for them
// must read back as the same favourites.
#include "fuzz_support.h"

namespace {

void check_items(const std::vector<browser_item> &items) {
  for (size_t i = 0; i < items.size(); i++) {
    const browser_item &item = items[i];
    check(item.kind == ITEM_CART && (!item.lid.empty() || (!item.file_name.empty() && item.mid.empty())));
    check(item.title.size() <= k_item_text_max && item.author.size() <= k_author_max);
    for (char c : item.title + item.lid + item.mid) check(c >= 32 && c <= 126 && c != '|');
    for (char c : item.file_name) check(static_cast<unsigned char>(c) >= 32);
    for (size_t j = 0; j < i; j++) check(item.lid.empty() || items[j].lid != item.lid);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<browser_item> items = parse_favourites(std::string(reinterpret_cast<const char *>(data), size));
  check_items(items);
  const std::vector<browser_item> again = parse_favourites(favourites_text(items));
  check_items(again);
  check(again.size() == items.size());
  for (size_t i = 0; i < items.size(); i++) check(favourite_line(again[i]) == favourite_line(items[i]));
  return 0;
}
