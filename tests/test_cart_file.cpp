// orrery-cart's cartridge editing: only the changed sections are written,
// the author's text around them stays byte for byte; info and convert.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "support/cart_support.h"
#include "support/process.h"
#include "tools/cartkit/cart_file.h"
#include "tools/cartkit/cartkit.h"

namespace {

// The text without the lines of one section (its marker up to the next).
std::string without_section(const std::string &text, const std::string &marker) {
  std::string out;
  bool skipping = false;
  size_t i = 0;
  while (i < text.size()) {
    const size_t e = text.find('\n', i);
    const std::string line = text.substr(i, e == std::string::npos ? std::string::npos : e + 1 - i);
    if (line.rfind("__", 0) == 0) skipping = line.rfind(marker, 0) == 0;
    if (!skipping) out += line;
    i = e == std::string::npos ? text.size() : e + 1;
  }
  return out;
}

// One change to each kind of data, and the section it lives in.
struct section_change {
  const char *marker;
  unsigned section;
  void (*change)(orrery_cart *cart);
};
const section_change k_changes[] = {
    {"__gfx__", CART_SECTION_GFX, [](orrery_cart *c) { vell_putpixel(c->gfx, 3, 5, (vell_getpixel(c->gfx, 3, 5) + 1) & 15); }},
    {"__gfx__", CART_SECTION_GFX,  // a map cell of the shared quarter is written in the sprite rows
     [](orrery_cart *c) {
       vell_putpixel(c->map, 7, 40, (vell_getpixel(c->map, 7, 40) + 1) & 255);
       sync_shared_map_to_gfx(c);
     }},
    {"__map__", CART_SECTION_MAP, [](orrery_cart *c) { vell_putpixel(c->map, 9, 2, (vell_getpixel(c->map, 9, 2) + 1) & 255); }},
    {"__gff__", CART_SECTION_GFF, [](orrery_cart *c) { c->flags[200] ^= 0x81; }},
    {"__sfx__", CART_SECTION_SFX, [](orrery_cart *c) { c->sfx[63].notes[31].pitch ^= 5; }},
    {"__music__", CART_SECTION_MUSIC, [](orrery_cart *c) { c->music[10].flags ^= 4; }},
    {"__label__", CART_SECTION_LABEL,
     [](orrery_cart *c) {
       if (!c->label) c->label = vell_create_bitmap(128, 128, 8);
       vell_putpixel(c->label, 1, 1, (vell_getpixel(c->label, 1, 1) + 1) & 15);
     }},
};

TEST(CartFile, ChangesRewriteOnlyTheirSectionInEveryBundledCart) {
  temp_folder dir;
  for (const std::string &path : bundled_cart_paths()) {
    const std::string original = read_file(path);
    for (const section_change &ch : k_changes) {
      const std::string copy = dir / "cart.q7";
      write_file(copy, original);
      cartkit_file f;
      std::string message;
      ASSERT_EQ(cartkit_open(copy, &f, &message), CARTKIT_OK) << path << ": " << message;
      ch.change(f.cart);
      cart_ptr wanted(load_q7_text(save_q7_text(f.cart)));
      ASSERT_EQ(cartkit_save(&f, &message), CARTKIT_OK) << path << ": " << message;
      EXPECT_EQ(message, "") << path;
      cartkit_close(&f);

      const std::string now = read_file(copy);
      const std::string where = path + " " + ch.marker;
      EXPECT_EQ(without_section(now, ch.marker), without_section(original, ch.marker)) << where;
      cart_ptr back(load_q7_text(now));
      orrery_sync_shared_quarter(back.get());
      orrery_sync_shared_quarter(wanted.get());
      EXPECT_EQ(cartkit_changed_sections(back.get(), wanted.get()), 0u) << where;
    }
  }
}

TEST(CartFile, KeepsTheAuthorsTextAroundTheChange) {
  struct row {
    const char *name;
    std::string text;      // the file as the author wrote it
    std::string expected;  // after flag 0 became 1
  };
  const std::string flags_line = "01" + std::string(254, '0') + "\n" + std::string(256, '0') + "\n";
  const std::string sfx = "__sfx__\n0001000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000\n";
  const row rows[] = {
      {"a missing section goes where the console writes it",
       "orrery cartridge // mine\nversion 12\n__lua__\nprint(1)\n-- end\n\n" + sfx,
       "orrery cartridge // mine\nversion 12\n__lua__\nprint(1)\n-- end\n\n__gff__\n" + flags_line + sfx},
      {"windows line ends are kept and used",
       "orrery cartridge\r\nversion 12\r\n__lua__\r\nx=1\r\n__gff__\r\n" + std::string(256, '0') + "\r\n",
       "orrery cartridge\r\nversion 12\r\n__lua__\r\nx=1\r\n__gff__\r\n01" + std::string(254, '0') + "\r\n" +
           std::string(256, '0') + "\r\n"},
      {"a last line without an end mark stays unread",
       "orrery cartridge\nversion 12\n__lua__\nx=1\n-- draft",
       "orrery cartridge\nversion 12\n__lua__\nx=1\n__gff__\n" + flags_line + "-- draft"},
  };
  temp_folder dir;
  for (const row &r : rows) {
    const std::string path = dir / "c.q7";
    write_file(path, r.text);
    cartkit_file f;
    std::string message;
    ASSERT_EQ(cartkit_open(path, &f, &message), CARTKIT_OK) << r.name << ": " << message;
    f.cart->flags[0] = 1;
    EXPECT_EQ(cartkit_save(&f, &message), CARTKIT_OK) << r.name;
    cartkit_close(&f);
    EXPECT_EQ(read_file(path), r.expected) << r.name;
  }
}

TEST(CartFile, OlderFilesAreWrittenWholeAndUnchangedFilesNotAtAll) {
  temp_folder dir;
  const std::string path = dir / "old.q7";
  // Version 2 stores one digit per flag: the new flags cannot be spliced in.
  const std::string old = "orrery cartridge\nversion 2\n__lua__\nx=1\n__gff__\n1a\n";
  write_file(path, old);
  cartkit_file f;
  std::string message;
  ASSERT_EQ(cartkit_open(path, &f, &message), CARTKIT_OK) << message;
  EXPECT_EQ(f.cart->flags[0], 1);
  EXPECT_EQ(f.cart->flags[1], 10);
  EXPECT_EQ(cartkit_save(&f, &message), CARTKIT_OK);
  EXPECT_EQ(read_file(path), old) << "nothing changed, nothing written";
  f.cart->flags[2] = 7;
  EXPECT_EQ(cartkit_save(&f, &message), CARTKIT_OK);
  EXPECT_NE(message.find("current format"), std::string::npos) << message;
  cartkit_close(&f);
  cart_ptr back(load_q7_text(read_file(path)));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->version, k_cart_version);
  EXPECT_EQ(back->flags[1], 10);
  EXPECT_EQ(back->flags[2], 7);
}

TEST(CartTool, InfoConvertAndHelpThroughTheProgram) {
  temp_folder dir;
  const std::string tool = ORRERY_CART_TOOL;
  const std::string small = dir / "small.q7", big = dir / "big.q7";
  write_file(small, "orrery cartridge\nversion 12\n__lua__\n-- tiny\nprint(1)\n");
  write_file(big, "orrery cartridge\nversion 12\n__lua__\n" + noise_code(16000) + "\n");
  struct row {
    std::vector<std::string> args;
    int status;
    const char *output;  // a part of standard output
  };
  const row rows[] = {
      {{"--help"}, 0, "music import CART SONG.mid"},
      {{"info", small}, 0, "tokens:         3 /  8192"},
      {{"info", big}, 1, "does not fit a picture"},
      {{"convert", small, dir / "small.q7.png"}, 0, "saved "},
      {{"convert", small, dir / "small.q7.png"}, 1, ""},  // exists: refused without --force
      {{"convert", dir / "small.q7.png", dir / "again", "--force"}, 0, "again.q7"},
      {{"convert", big, dir / "big.q7.png"}, 1, ""},
      {{"gfx", "import", small}, 3, ""},
      {{"frobnicate"}, 3, ""},
  };
  for (const row &r : rows) {
    std::vector<std::string> argv = {tool};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    const process_result p = run_process(argv);
    EXPECT_EQ(p.exit_code, r.status) << r.args[0] << " " << (r.args.size() > 1 ? r.args[1] : "");
    EXPECT_NE(p.output.find(r.output), std::string::npos) << p.output;
  }
  EXPECT_FALSE(path_exists(dir / "big.q7.png"));
  cart_ptr again(load_q7_text(read_file(dir / "again.q7")));
  ASSERT_TRUE(again);
  EXPECT_STREQ(again->code, "-- tiny\nprint(1)");
}

}  // namespace
