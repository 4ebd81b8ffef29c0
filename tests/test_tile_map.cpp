// orrery-cart's map and flag commands: CSV and TMX files as a tile editor
// writes them, read into a cartridge and written back.
#include "support/test.h"
#include "tools/cartkit/cartkit.h"
#include "tools/cartkit/tile_map.h"

namespace {

// A TMX file of one w x h layer with the given data element, as Tiled writes it.
std::string tmx(int w, int h, const std::string &data, const std::string &extra = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.10\" orientation=\"orthogonal\" width=\"" +
         std::to_string(w) + "\" height=\"" + std::to_string(h) +
         "\" tilewidth=\"8\" tileheight=\"8\" infinite=\"0\">\n <tileset firstgid=\"1\" source=\"sheet.tsx\"/>\n"
         " <layer id=\"1\" name=\"ground\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
         "\">\n  " + data + "\n </layer>\n" + extra + "</map>\n";
}

std::string csv_rows(int w, int h, int value) {
  std::string s;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) s += std::to_string(value) + (x + 1 < w ? "," : "\n");
  return s;
}

}  // namespace

TEST(TileMap, ExportThenImportGivesTheSameCartridgeForEveryBundledOne) {
  temp_folder dir;
  for (const std::string &path : bundled_cart_paths()) {
    cart_ptr a = load_synced(path), b = load_synced(path);
    ASSERT_TRUE(a && b) << path;
    std::string message;
    ASSERT_EQ(cartkit_map_export(a.get(), dir / "map.csv", true, &message), CARTKIT_OK) << message;
    ASSERT_EQ(cartkit_flags_export(a.get(), dir / "flags.csv", &message), CARTKIT_OK) << message;
    memset(b->map->data, 0, 128 * 64);
    memset(b->gfx->line[64], 0, 128 * 64);
    memset(b->flags, 0, sizeof b->flags);
    ASSERT_EQ(cartkit_map_import(b.get(), dir / "map.csv", &message), CARTKIT_OK) << message;
    ASSERT_EQ(cartkit_flags_import(b.get(), dir / "flags.csv", &message), CARTKIT_OK) << message;
    EXPECT_EQ(cart_snapshot(b.get()), cart_snapshot(a.get())) << path;
  }
  // The upper half alone: 32 lines of 128 values, no trailing comma.
  cart_ptr c(vell_create_orrery_cart());
  c->map->line[31][127] = 255;
  std::string message;
  ASSERT_EQ(cartkit_map_export(c.get(), dir / "top.csv", false, &message), CARTKIT_OK);
  EXPECT_EQ(read_file(dir / "top.csv"), csv_rows(128, 31, 0) + csv_rows(127, 1, 0).substr(0, 253) + ",255\n");
}

TEST(TileMap, RefusedFilesSayWhereAndLeaveTheCartridgeAlone) {
  temp_folder dir;
  std::string ragged = csv_rows(16, 3, 1);
  ragged.insert(ragged.find('\n', 40), ",1");  // line 2 gains a cell
  const std::string gids = "<data encoding=\"csv\">\n1,2,\n3,4\n</data>";
  struct row {
    const char *name;
    const char *file;  // flags.csv is a flags import, others a map import
    std::string text;
    int code;
    std::string says;
  } rows[] = {
      {"bad cell", "m.csv", "1,2,3\n4,x,6\n", CARTKIT_REFUSED, "m.csv line 2, cell 2: \"x\" is not a number"},
      {"empty cell", "m.csv", "1,,3\n", CARTKIT_REFUSED, "m.csv line 1, cell 2: empty"},
      {"too big", "m.csv", "1,256\n", CARTKIT_REFUSED, "cell 2: 256 is not a tile number 0-255"},
      {"below -1", "m.csv", "-2\n", CARTKIT_REFUSED, "-2 is not a tile number"},
      {"ragged", "m.csv", ragged, CARTKIT_REFUSED, "m.csv line 2 has 17 cells, but line 1 has 16"},
      {"too wide", "m.csv", csv_rows(129, 1, 0), CARTKIT_REFUSED, "line 1 has more than 128 cells"},
      {"too high", "m.csv", csv_rows(4, 65, 0), CARTKIT_REFUSED, "m.csv has more than 64 rows"},
      {"gap", "m.csv", "1\n\n2\n", CARTKIT_REFUSED, "m.csv line 2 is empty"},
      {"nothing", "m.csv", "\n", CARTKIT_REFUSED, "m.csv has no cells"},
      {"base64", "m.tmx", tmx(2, 2, "<data encoding=\"base64\">AQAAAA==</data>"), CARTKIT_REFUSED,
       "layer \"ground\" is stored as base64; in Tiled, set Map > Map Properties > Tile Layer Format to CSV"},
      {"zlib", "m.tmx", tmx(2, 2, "<data encoding=\"base64\" compression=\"zlib\">eJw=</data>"), CARTKIT_REFUSED,
       "is compressed (zlib)"},
      {"xml tiles", "m.tmx", tmx(1, 1, "<data><tile gid=\"1\"/></data>"), CARTKIT_REFUSED, "XML tile elements"},
      {"flipped", "m.tmx", tmx(2, 2, "<data encoding=\"csv\">1,2,\n3,2147483652</data>"), CARTKIT_REFUSED,
       "layer \"ground\", row 2, column 2: the tile is flipped or rotated"},
      {"infinite", "m.tmx", tmx(2, 2, "<data encoding=\"csv\"><chunk x=\"0\" y=\"0\">1</chunk></data>"),
       CARTKIT_REFUSED, "infinite map"},
      {"wide tmx", "m.tmx", tmx(129, 1, gids), CARTKIT_REFUSED, "the map is 129x1 cells; the console's map is at most"},
      {"short data", "m.tmx", tmx(2, 3, gids), CARTKIT_REFUSED, "has 4 cells, not the 2x3 of its size"},
      {"beyond 255", "m.tmx", tmx(1, 1, "<data encoding=\"csv\">258</data>"), CARTKIT_REFUSED, "tile 257 is beyond"},
      {"entity", "m.tmx", "<?xml version=\"1.0\"?>\n<!DOCTYPE map [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n" +
       tmx(1, 1, "<data encoding=\"csv\">&x;</data>"), CARTKIT_REFUSED, "line 2 holds a document type"},
      {"broken xml", "m.tmx", "<map width=\"2\" height=\"2\"><layer name=\"a", CARTKIT_REFUSED, "not well-formed XML"},
      {"not tiled", "m.tmx", "<svg/>", CARTKIT_REFUSED, "not a Tiled map"},
      {"extension", "m.txt", "1\n", CARTKIT_USAGE, "map import takes a .csv or .tmx file"},
      {"flag rows", "flags.csv", csv_rows(16, 15, 0), CARTKIT_REFUSED, "flags.csv has 15 rows; a flags file has 16"},
      {"flag cells", "flags.csv", csv_rows(15, 16, 0), CARTKIT_REFUSED, "flags.csv line 1 has 15 values"},
      {"flag value", "flags.csv", "0x100" + csv_rows(16, 16, 0).substr(1), CARTKIT_REFUSED,
       "line 1, value 1: \"0x100\" is not a flag byte 0-255"},
  };
  cart_ptr c = load_synced(ORRERY_SOURCE_DIR "/assets/carts/games/cratekeep.q7");
  ASSERT_TRUE(c);
  const std::string before = cart_snapshot(c.get());
  for (const row &r : rows) {
    const std::string path = dir / r.file;
    write_file(path, r.text);
    std::string message;
    const int code = std::string(r.file) == "flags.csv" ? cartkit_flags_import(c.get(), path, &message)
                                                        : cartkit_map_import(c.get(), path, &message);
    EXPECT_EQ(code, r.code) << r.name << ": " << message;
    EXPECT_NE(message.find(r.says), std::string::npos) << r.name << ": " << message;
    EXPECT_TRUE(cart_snapshot(c.get()) == before) << r.name;
  }
}

TEST(TileMap, SmallMapsClearTheRestAndTouchTheSharedQuarterOnlyWhenTheyReachIt) {
  temp_folder dir;
  struct row {
    const char *name;
    const char *file;
    std::string text;
    int32_t cell_0_0, cell_3_1, cell_100_10, cell_5_35;  // map cells afterwards (x_y)
    std::string says;
  } rows[] = {
      // Tiled's own CSV: -1 for empty cells, CR LF, a byte-order mark.
      {"tiled csv", "a.csv", "\xef\xbb\xbf" "-1,7,-1,9\r\n1,2,3,4\r\n", 0, 4, 0, 99,
       "map: 4x2 cells from " + dir / "a.csv" + "; the rest of rows 0-31 set to 0; rows 32-63, the lower sprite sheet, kept"},
      {"40 rows", "b.csv", csv_rows(8, 40, 6), 6, 6, 0, 6, "; map rows 32-63 are sprite sheet rows 64-127 too; they changed"},
      {"tmx", "c.tmx",
       tmx(4, 2, "<data encoding=\"csv\">\n0,2,3,4,\n5,6,7,256\n</data>",
           " <objectgroup id=\"3\"/>\n <layer id=\"2\" name=\"top\" width=\"4\" height=\"2\">"
           "<data encoding=\"base64\">AAAA</data></layer>\n"),
       0, 255, 0, 99, "cells from " + dir / "c.tmx" + " (layer \"ground\"); 1 other tile layer ignored: \"top\""},
  };
  for (const row &r : rows) {
    cart_ptr c(vell_create_orrery_cart());
    memset(c->map->data, 99, 128 * 64);
    sync_shared_map_to_gfx(c.get());
    write_file(dir / r.file, r.text);
    std::string message;
    ASSERT_EQ(cartkit_map_import(c.get(), dir / r.file, &message), CARTKIT_OK) << r.name << ": " << message;
    EXPECT_NE(message.find(r.says), std::string::npos) << r.name << ": " << message;
    EXPECT_EQ(c->map->line[0][0], r.cell_0_0) << r.name;
    EXPECT_EQ(c->map->line[1][3], r.cell_3_1) << r.name;
    EXPECT_EQ(c->map->line[10][100], r.cell_100_10) << r.name;
    EXPECT_EQ(c->map->line[35][5], r.cell_5_35) << r.name;
    // The sheet's lower quarter shows the map's rows 32-63.
    EXPECT_EQ(c->gfx->line[70][10] | c->gfx->line[70][11] << 4, c->map->line[35][5]) << r.name;
  }
  // Flags in decimal, hexadecimal and binary.
  std::string flags = "1,0x1f,0b101" + csv_rows(13, 1, 0).substr(0, 25).insert(0, ",") + "\n" + csv_rows(16, 15, 255);
  write_file(dir / "flags.csv", flags);
  cart_ptr c(vell_create_orrery_cart());
  std::string message;
  ASSERT_EQ(cartkit_flags_import(c.get(), dir / "flags.csv", &message), CARTKIT_OK) << message;
  expect_rows({ROW(c->flags[0], 1), ROW(c->flags[1], 31), ROW(c->flags[2], 5), ROW(c->flags[15], 0),
               ROW(c->flags[16], 255)});
}
