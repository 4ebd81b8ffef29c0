// The clipboard text form of cartridge files: the exact text, the way back,
// and texts that are refused without writing anything.
#include <gtest/gtest.h>

#include <string>

#include "machine/cart_hex.h"
#include "support/process.h"

TEST(CartHex, EncodesEveryByteAndDecodesBackToTheSameFile) {
  temp_folder dir;
  std::string bytes;
  for (int i = 0; i < 256; i++) bytes += static_cast<char>(i);
  write_file(dir / "cart.png", bytes);
  ASSERT_EQ(convert_binary_file_to_hex((dir / "cart.png").c_str(), (dir / "cart.hex").c_str()), CART_HEX_OK);
  const std::string text = read_file(dir / "cart.hex");
  EXPECT_EQ(text.substr(0, 14), "[cart]00010203");
  EXPECT_EQ(text.substr(text.size() - 11), "feff[/cart]");
  EXPECT_EQ(text.size(), 6 + 512 + 7u);
  ASSERT_EQ(convert_hex_to_binary_file(text.c_str(), (dir / "back.png").c_str()), HEX_CART_OK);
  EXPECT_EQ(read_file(dir / "back.png"), bytes);

  // Wrapped and upper-case as a mail program might hand it back.
  ASSERT_EQ(convert_hex_to_binary_file("  [cart]0A\r\nFf 1\n0[/cart]\n", (dir / "wrapped").c_str()), HEX_CART_OK);
  EXPECT_EQ(read_file(dir / "wrapped"), "\x0a\xff\x10");

  write_file(dir / "big", std::string(k_cart_hex_max_file + 1, 'x'));
  EXPECT_EQ(convert_binary_file_to_hex((dir / "big").c_str(), (dir / "big.hex").c_str()), CART_HEX_NO_INPUT)
      << "a file is never cut short";
  EXPECT_EQ(convert_binary_file_to_hex((dir / "missing").c_str(), (dir / "m.hex").c_str()), CART_HEX_NO_INPUT);
  EXPECT_EQ(convert_binary_file_to_hex((dir / "cart.png").c_str(), (dir / "no/such/dir").c_str()), CART_HEX_NO_OUTPUT);
  EXPECT_FALSE(path_exists(dir / "big.hex"));
}

TEST(CartHex, RefusesTextsThatAreNotWholeCartridgesAndKeepsTheOldFile) {
  temp_folder dir;
  const std::string out = dir / "_clip.q7.png";
  write_file(out, "old");
  const char *refused[] = {
      "",                     // empty clipboard
      "hello",                // not the form at all
      "cart]00[/cart]",       // no opening tag
      "[cart]0011",           // cut off before the closing tag
      "[cart]001[/cart]",     // odd number of digits
      "[cart]00zz[/cart]",    // not a digit
      "[cart]00[/crt]",       // another tag
  };
  for (const char *text : refused) {
    EXPECT_EQ(convert_hex_to_binary_file(text, out.c_str()), HEX_CART_NOT_CART) << '"' << text << '"';
    EXPECT_EQ(read_file(out), "old") << '"' << text << '"';
  }
  EXPECT_EQ(convert_hex_to_binary_file("[cart]00[/cart]", (dir / "no/such/dir").c_str()), HEX_CART_NO_OUTPUT);
}
