// Catalogue pages read into lists, and the names of requests and cache files.
#include "support/test.h"

namespace {

// A palette whose 16 console colours are far apart.
void use_test_palette() {
  uint8_t rgb[768] = {};
  for (int c = 0; c < 16; c++) {
    rgb[c * 3] = static_cast<uint8_t>(c * 16);
    rgb[c * 3 + 1] = static_cast<uint8_t>(255 - c * 16);
    rgb[c * 3 + 2] = static_cast<uint8_t>(c & 1 ? 200 : 20);
  }
  vell_set_engine_palette(rgb);
}

struct cell {
  std::string numbers, title, author, lid, mid;
  int colour;  // the label is this palette colour, slightly off
};

// A page written pixel by pixel, independently of the kit's page maker.
std::string write_page(const temp_folder &dir, const std::vector<cell> &cells, int w = 1024, int h = 544) {
  vell_rgba_image page;
  page.width = w, page.height = h;
  page.pixels.assign(static_cast<size_t>(w) * h * 4, 255);
  const uint8_t *palette = vell_engine_palette();
  for (size_t k = 0; k < cells.size(); k++) {
    const int x0 = static_cast<int>(k % 8) * 128, y0 = static_cast<int>(k / 8) * 136;
    auto px = [&](int x, int y) { return &page.pixels[(static_cast<size_t>(y0 + y) * w + x0 + x) * 4]; };
    for (int y = 0; y < 128 && y0 + y < h; y++)
      for (int x = 0; x < 128; x++) {
        uint8_t *p = px(x, y);
        for (int ch = 0; ch < 3; ch++) p[ch] = static_cast<uint8_t>(palette[cells[k].colour * 3 + ch] ^ 3);
      }
    const std::string lines[5] = {cells[k].numbers, cells[k].title, cells[k].author, cells[k].lid, cells[k].mid};
    for (int j = 0; j < 5 && y0 + 128 + j < h; j++)
      for (int i = 0; i < 128; i++) px(i, 128 + j)[1] = i < static_cast<int>(lines[j].size()) ? lines[j][i] : 0;
  }
  static int n = 0;
  const std::string path = dir / ("page" + std::to_string(n++) + ".png");
  EXPECT_EQ(vell_png_write_file(path.c_str(), page), VELL_PNG_OK);
  return path;
}

std::vector<cell> numbered_cells(int n) {
  std::vector<cell> cells;
  for (int k = 0; k < n; k++)
    cells.push_back({std::to_string(k + 1) + " " + std::to_string(k + 100) + " 2", "cart " + std::to_string(k),
                     "someone", "c" + std::to_string(k), "m", k % 16});
  return cells;
}

browser_list list_named(int index) {
  browser_list l;
  l.name = k_browser_list_table[index].name;
  return l;
}

bool label_all(const browser_item &item, int colour) {
  if (!item.label || item.label->w != 128 || item.label->h != 128) return false;
  return std::all_of(item.label->data, item.label->data + 128 * 128, [&](uint8_t c) { return c == colour; });
}

// An item's kind, title, author, ids, category and favourite mark.
std::string describe(const browser_item &i) {
  return std::to_string(i.kind) + "|" + i.title + "|" + i.author + "|" + i.lid + "|" + i.mid + "|" +
         std::to_string(i.catsub) + "|" + std::to_string(i.favourite);
}

}  // namespace

TEST(CataloguePage, FullAndPartialPagesFillTheList) {
  temp_folder dir;
  use_test_palette();
  create_cartfind_lists();
  browser_item fav;
  fav.kind = ITEM_CART;
  fav.lid = "abc_1";
  cartfind_list(LIST_FAV).items.push_back(std::move(fav));

  // A full page: header, 32 cartridges, "[load more]". Fields are cleaned,
  // an empty lid or mid is the first or second number, and ids cannot
  // break the favourites file.
  browser_list &list = cartfind_list(LIST_NEW);
  std::vector<cell> cells = numbered_cells(32);
  cells[0] = {"7 8 3", "  Cave FLYER|2\x01\xe9  ", "Kai Tr-1 Very Long Name  ", "abc_1", "", 9};
  cells[1] = {"12 13 4 junk", "x", "", "", "a|b\nc", 0};
  ASSERT_EQ(populate_cartfind_list_from_png_file(list, write_page(dir, cells).c_str(), 0), PAGE_OK);
  ASSERT_EQ(list.items.size(), 34u);
  const std::string c = std::to_string(ITEM_CART) + "|";
  EXPECT_EQ(describe(list.items[0]), std::to_string(ITEM_UPDATE) + "|[update]||||0|0");
  EXPECT_EQ(describe(list.items[1]), c + "  cave flyer_2|kai_tr_1_very_lo|abc_1|8|3|1");
  EXPECT_EQ(describe(list.items[2]), c + "x||12|a_b_c|4|0");
  EXPECT_EQ(describe(list.items[33]), std::to_string(ITEM_LOAD_MORE) + "|[load more]||||0|0");
  EXPECT_TRUE(label_all(list.items[1], 9)) << "label pixels become the nearest console colour";

  // A further page replaces "[load more]"; five entries and an empty cell
  // end the catalogue.
  ASSERT_EQ(populate_cartfind_list_from_png_file(list, write_page(dir, numbered_cells(5)).c_str(), 1), PAGE_OK);
  ASSERT_EQ(list.items.size(), 38u);
  EXPECT_EQ(list.items[33].title, "cart 0");
  EXPECT_EQ(list.items[37].kind, ITEM_CART);

  // A cell whose first number is 0 is empty even when later cells are not.
  std::vector<cell> gap = numbered_cells(32);
  gap[3].numbers = "0 5 5";
  browser_list gapped = list_named(LIST_JAM);
  ASSERT_EQ(populate_cartfind_list_from_png_file(gapped, write_page(dir, gap).c_str(), 0), PAGE_OK);
  EXPECT_EQ(gapped.items.size(), 32u) << "header and 31 entries, no [load more]";
}

TEST(CataloguePage, AWrongSizedPageEndsTheListAndAFileThatIsNoPictureChangesNothing) {
  temp_folder dir;
  use_test_palette();
  const std::string good = write_page(dir, numbered_cells(32));
  const std::string narrow = write_page(dir, numbered_cells(3), 1024, 512);
  const std::string not_png = dir / "page.pip.png", missing = dir / "none.png";
  write_file(not_png, "<html>404</html>");
  // Page, read as a further page, whether the list holds a full page before,
  // status, items after (a fresh wrong-sized page leaves the header only; an
  // appended one removes "[load more]"), the last item's kind.
  const std::tuple<std::string, int, bool, int, size_t, int> rows[] = {
      {narrow, 0, false, PAGE_WRONG_SIZE, 1, ITEM_UPDATE},  {narrow, 0, true, PAGE_WRONG_SIZE, 1, ITEM_UPDATE},
      {narrow, 1, true, PAGE_WRONG_SIZE, 33, ITEM_CART},    {not_png, 0, false, PAGE_UNREADABLE, 1, ITEM_UPDATE},
      {missing, 0, true, PAGE_UNREADABLE, 34, ITEM_LOAD_MORE}, {missing, 1, true, PAGE_UNREADABLE, 34, ITEM_LOAD_MORE}};
  for (const auto &[file, append, filled, rc, count, last] : rows) {
    SCOPED_TRACE(file + (append ? " appended" : "") + (filled ? " to a full list" : ""));
    browser_list l = list_named(LIST_WIP);
    ASSERT_EQ(filled ? populate_cartfind_list_from_png_file(l, good.c_str(), 0) : PAGE_OK, PAGE_OK);
    EXPECT_EQ(populate_cartfind_list_from_png_file(l, file.c_str(), append), rc);
    EXPECT_EQ(l.items.size(), count);
    EXPECT_EQ(l.items.front().kind, ITEM_UPDATE);
    EXPECT_EQ(l.items.back().kind, last);
  }
}

TEST(CatalogueNames, RequestsAndCacheFilesOfIds) {
  // Id, request, cache file, information file ("" for ids that are refused).
  const std::tuple<const char *, const char *, const char *, const char *> rows[] = {
      {"12345", "/bbs/cposts/1/12345.q7.png", "bbs/1/12345.q7.png", "bbs/1/temp-12345.nfo"},
      {"abc_1", "/bbs/cposts/ab/abc_1.q7.png", "bbs/carts/abc_1.q7.png", "bbs/carts/temp-abc_1.nfo"},
      {"42", "/bbs/cposts/0/42.q7.png", "bbs/0/42.q7.png", "bbs/0/temp-42.nfo"},
      {"123456789012", "/bbs/cposts/12/123456789012.q7.png", "bbs/carts/123456789012.q7.png",
       "bbs/carts/temp-123456789012.nfo"},  // too long to be a number
  };
  for (const auto &[lid, request, cache, info] : rows) {
    EXPECT_EQ(catalogue_cart_request(lid) + bbs_cart_file(lid) + bbs_info_file(lid),
              std::string(request) + cache + info)
        << lid;
    EXPECT_TRUE(valid_catalogue_id(lid)) << lid;
  }
  // Refused ids get no request and no cache file.
  for (const char *refused : {"", "a", "Ab_1", "ab-1", "../x", "ab 1"})
    EXPECT_EQ(std::to_string(valid_catalogue_id(refused)) + catalogue_cart_request(refused) + bbs_cart_file(refused),
              "0")
        << refused;
  EXPECT_EQ(catalogue_list_request("cat=7&sub=2", 0),
            "/bbs/cpost_lister3.php?max=32&start_index=0&cat=7&sub=2&version=000111cw");
  EXPECT_EQ(list_cache_file("new") + " " + list_download_file("new", 0) + " " + list_download_file("jam", 1),
            "bbs/new.pip.png bbs/temp_new.pip.png bbs/temp_jam__.pip.png");
  EXPECT_EQ(bbs_label_file("abc_1"), "bbs/labels/abc_1.png");
  EXPECT_EQ(bbs_label_file("../../x"), "") << "ids from pages never leave the cache folder";
  // Requests go on the wire as written; only what a URL cannot hold is
  // escaped. Request, address on the server at "http://h/cat/", and the
  // file of a static catalogue site that answers it.
  const std::tuple<std::string, const char *, const char *> wire[] = {
      {catalogue_list_request("cat=7&search=cave run#1%&max=32", 32),
       "http://h/cat/bbs/cpost_lister3.php?max=32&start_index=32&cat=7&search=cave%20run%231%25&max=32&version=000111cw",
       ""},  // a site cannot answer a search
      {catalogue_list_request("cat=7&sub=2", 0), "http://h/cat/bbs/cpost_lister3.php?max=32&start_index=0&cat=7&sub=2&version=000111cw",
       "bbs/cpost_lister3.php@max=32&start_index=0&cat=7&sub=2&version=000111cw"},
      {catalogue_cart_request("abc_1"), "http://h/cat/bbs/cposts/ab/abc_1.q7.png", "bbs/cposts/ab/abc_1.q7.png"},
      {catalogue_page_request("abc_1"), "http://h/cat/bbs/?pid=abc_1", "bbs/@pid=abc_1"},
      {"/a b?c=d?e", "http://h/cat/a%20b?c=d?e", ""},
      {"/bbs/../x?a=b", "http://h/cat/bbs/../x?a=b", ""},  // never outside the site
      {"/bbs/cpost_lister3.php?", "http://h/cat/bbs/cpost_lister3.php?", ""}};
  for (const auto &[request, address, file] : wire) {
    EXPECT_EQ(catalogue_address("http://h/cat/", request), address);
    EXPECT_EQ(catalogue_site_file(request), file) << request;
  }
  EXPECT_EQ(catalogue_address("", "/bbs/x"), "");
}
