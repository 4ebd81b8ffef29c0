// The manual that the build puts beside the program: its reference names
// every function a cartridge can call, and it reads on an 80-column terminal.
#include <fstream>

#include "support/test.h"

TEST(Manual, IsPlainTextNarrowerThanEightyColumnsWithAnEntryForEveryFunctionACartridgeCanCall) {
  std::ifstream in(ORRERY_BUILD_DIR "/orrery.txt");
  ASSERT_TRUE(in) << "no orrery.txt in " ORRERY_BUILD_DIR;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_GT(lines.size(), 500u);
  for (size_t i = 0; i < lines.size(); i++) {
    EXPECT_LT(lines[i].size(), 80u) << "line " << i + 1 << ": " << lines[i];
    const auto bad = std::find_if(lines[i].begin(), lines[i].end(), [](unsigned char c) { return c < 32 || c >= 127; });
    EXPECT_TRUE(bad == lines[i].end()) << "line " << i + 1 << " holds byte " << int(static_cast<unsigned char>(*bad));
  }
  // A reference entry is a line that starts with the name and its "(": the
  // API's functions and those the program header defines in script.
  std::vector<std::string> names = {"menuitem", "all", "foreach", "count", "add", "del"};
  for (int i = 0; api_function_name(i); i++) names.push_back(api_function_name(i));
  for (const std::string &name : names)
    EXPECT_TRUE(
        std::any_of(lines.begin(), lines.end(), [&](const std::string &l) { return l.rfind(name + "(", 0) == 0; }))
        << "no reference entry starting \"" << name << "(\"";
}

TEST(Manual, ShowsTheCatalogueServerLinesAsShippedInTools) {
  const std::string manual = read_file(ORRERY_BUILD_DIR "/orrery.txt");
  for (const char *name : {"catalogue-nginx.conf", "catalogue-caddy.conf", "catalogue-apache.conf"}) {
    std::stringstream in(read_file(std::string(ORRERY_SOURCE_DIR "/tools/") + name));
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
      line.erase(0, line.find_first_not_of(" \t"));
      if (line.empty() || line[0] == '#') continue;
      lines++;
      EXPECT_NE(manual.find("    " + line + "\n"), std::string::npos) << name << ": " << line;
    }
    EXPECT_GT(lines, 2) << name;
  }
}
