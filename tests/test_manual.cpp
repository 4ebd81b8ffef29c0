// The manual that the build puts beside the program: its reference names
// every function a cartridge can call, and it reads on an 80-column terminal.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "api/api.h"

namespace {

std::vector<std::string> manual_lines() {
  std::ifstream in(ORRERY_BUILD_DIR "/orrery.txt");
  EXPECT_TRUE(in) << "no orrery.txt in " ORRERY_BUILD_DIR;
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(Manual, ReferenceHasAnEntryForEveryFunctionACartridgeCanCall) {
  // A reference entry is a line that starts with the name and its "(".
  std::vector<std::string> names;
  for (int i = 0; i < k_api_function_count; i++) names.push_back(api_function_name(i));
  // Functions the program header defines in script for every cartridge.
  for (const char *n : {"menuitem", "all", "foreach", "count", "add", "del"}) names.push_back(n);

  const std::vector<std::string> lines = manual_lines();
  for (const std::string &name : names) {
    bool found = false;
    for (const std::string &l : lines) found = found || l.rfind(name + "(", 0) == 0;
    EXPECT_TRUE(found) << "no reference entry starting \"" << name << "(\"";
  }
}

TEST(Manual, IsPlainTextNarrowerThanEightyColumns) {
  const std::vector<std::string> lines = manual_lines();
  EXPECT_GT(lines.size(), 500u);
  for (size_t i = 0; i < lines.size(); i++) {
    EXPECT_LT(lines[i].size(), 80u) << "line " << i + 1 << ": " << lines[i];
    for (unsigned char c : lines[i]) {
      EXPECT_TRUE(c >= 32 && c < 127) << "line " << i + 1 << " holds byte " << int(c);
      if (c < 32 || c >= 127) break;
    }
  }
}
