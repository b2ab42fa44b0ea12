// res/vornell.rc against the layout table: the real window is built from the
// script, the headless window from the table, so the two must not drift.
// The script is UTF-8 and the table GBK; iconv bridges them.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "res/layout.h"

namespace vornell {
namespace {

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(VORNELL_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string GbkFromUtf8(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  std::string in = utf8;
  std::string out(in.size() * 2 + 4, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  const size_t converted = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (converted == static_cast<size_t>(-1)) return "<not GBK>";
  out.resize(out.size() - dstLeft);
  return out;
}

// The #defines of res/resource.h, which the script names its IDs by.
std::map<std::string, long> ResourceIds() {
  std::map<std::string, long> ids;
  std::istringstream header(ReadSourceFile("res/resource.h"));
  const std::regex define(R"(^#define\s+(\w+)\s+(0x[0-9A-Fa-f]+|\d+)\s*$)");
  std::smatch m;
  for (std::string line; std::getline(header, line);) {
    if (std::regex_match(line, m, define)) ids[m[1]] = std::strtol(m[2].str().c_str(), nullptr, 0);
  }
  return ids;
}

struct ScriptControl {
  std::string text;  // GBK; empty when the text is a resource number
  long textId = 0;
  long id = 0;
  std::string windowClass;
  unsigned long style = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

struct ScriptDialog {
  int x = 0, y = 0, width = 0, height = 0;
  unsigned long style = 0, exStyle = 0;
  std::string caption;  // GBK
  int fontPoints = 0;
  std::string fontFace;
  std::vector<ScriptControl> controls;
};

// A number, a hex number or a name from res/resource.h; nullopt otherwise.
std::optional<long> Value(const std::string& token, const std::map<std::string, long>& ids) {
  if (!token.empty() && (std::isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-')) {
    return std::strtol(token.c_str(), nullptr, 0);
  }
  const auto it = ids.find(token);
  if (it == ids.end()) return std::nullopt;
  return it->second;
}

std::optional<ScriptDialog> FindDialog(const std::string& script, const std::string& name) {
  const auto ids = ResourceIds();
  std::istringstream in(script);
  const std::regex head("^" + name + R"(\s+DIALOGEX\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*$)");
  const std::regex style(R"(^STYLE\s+(0x[0-9A-Fa-f]+)\b.*)");
  const std::regex exStyle(R"(^EXSTYLE\s+(0x[0-9A-Fa-f]+)\b.*)");
  const std::regex caption(R"re(^CAPTION\s+"([^"]*)"\s*$)re");
  const std::regex font(R"re(^FONT\s+(\d+),\s*"([^"]*)",\s*0,\s*0,\s*0x1\s*$)re");
  const std::regex control(
      R"re(^\s*CONTROL\s+("[^"]*"|\w+),\s*(-?\w+),\s*"([^"]*)",\s*(0x[0-9A-Fa-f]+)(?:\s*\|\s*NOT\s+(0x[0-9A-Fa-f]+))?,\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*$)re");
  std::smatch m;
  std::string line;
  while (std::getline(in, line) && !std::regex_match(line, m, head)) {
  }
  if (in.eof()) return std::nullopt;
  ScriptDialog dialog;
  dialog.x = std::stoi(m[1]);
  dialog.y = std::stoi(m[2]);
  dialog.width = std::stoi(m[3]);
  dialog.height = std::stoi(m[4]);
  bool inBody = false;
  while (std::getline(in, line)) {
    if (line == "END") break;
    if (line == "BEGIN") {
      inBody = true;
    } else if (!inBody && std::regex_match(line, m, style)) {
      dialog.style = std::stoul(m[1], nullptr, 16);
    } else if (!inBody && std::regex_match(line, m, exStyle)) {
      dialog.exStyle = std::stoul(m[1], nullptr, 16);
    } else if (!inBody && std::regex_match(line, m, caption)) {
      dialog.caption = GbkFromUtf8(m[1]);
    } else if (!inBody && std::regex_match(line, m, font)) {
      dialog.fontPoints = std::stoi(m[1]);
      dialog.fontFace = m[2];
    } else if (inBody && std::regex_match(line, m, control)) {
      ScriptControl c;
      const std::string text = m[1];
      if (text.front() == '"') {
        c.text = GbkFromUtf8(text.substr(1, text.size() - 2));
      } else {
        c.textId = Value(text, ids).value_or(-12345);
      }
      c.id = Value(m[2], ids).value_or(-12345);
      c.windowClass = m[3];
      // A CONTROL gets WS_VISIBLE unless it says NOT WS_VISIBLE.
      c.style = std::stoul(m[4], nullptr, 16);
      if (m[5].matched) c.style &= ~std::stoul(m[5], nullptr, 16);
      c.x = std::stoi(m[6]);
      c.y = std::stoi(m[7]);
      c.width = std::stoi(m[8]);
      c.height = std::stoi(m[9]);
      dialog.controls.push_back(c);
    } else if (inBody) {
      ADD_FAILURE() << "a line of the dialog body that is no plain CONTROL statement: " << line;
    }
  }
  return dialog;
}

void ExpectSameDialog(const ScriptDialog& script, const DialogLayout& table) {
  EXPECT_EQ(script.x, table.x);
  EXPECT_EQ(script.y, table.y);
  EXPECT_EQ(script.width, table.width);
  EXPECT_EQ(script.height, table.height);
  EXPECT_EQ(script.style, table.style);
  EXPECT_EQ(script.exStyle, table.exStyle);
  EXPECT_EQ(script.caption, table.caption);
  EXPECT_EQ(script.fontFace, table.fontFace);
  EXPECT_EQ(script.fontPoints, table.fontPoints);
  ASSERT_EQ(script.controls.size(), table.controls.size());
  for (size_t i = 0; i < table.controls.size(); ++i) {
    const ScriptControl& s = script.controls[i];
    const ControlLayout& t = table.controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + " (table id " + std::to_string(t.id) + ")");
    EXPECT_EQ(s.id, t.id);
    EXPECT_EQ(s.windowClass, t.windowClass);
    EXPECT_EQ(s.style, t.style);
    EXPECT_EQ(s.x, t.x);
    EXPECT_EQ(s.y, t.y);
    EXPECT_EQ(s.width, t.width);
    EXPECT_EQ(s.height, t.height);
    EXPECT_EQ(s.text, t.text);
    // A picture or icon names its image by number where other controls have text.
    EXPECT_EQ(s.textId, t.imageId);
  }
}

TEST(ResourceScript, MainDialogMatchesTheLayoutTable) {
  const auto dialog = FindDialog(ReadSourceFile("res/vornell.rc"), "IDD_VORNELL_DIALOG");
  ASSERT_TRUE(dialog.has_value());
  ExpectSameDialog(*dialog, MainDialogLayout());
}

TEST(ResourceScript, AboutBoxMatchesTheLayoutTable) {
  const auto dialog = FindDialog(ReadSourceFile("res/vornell.rc"), "IDD_ABOUTBOX");
  ASSERT_TRUE(dialog.has_value());
  ExpectSameDialog(*dialog, AboutDialogLayout());
}

TEST(ResourceScript, ReaderNoticesADriftedControl) {
  // The comparison above must be able to fail: move one button by a unit.
  std::string script = ReadSourceFile("res/vornell.rc");
  const std::string next = "IDC_NEXT, \"Button\", 0x50010000, 271,";
  const size_t at = script.find(next);
  ASSERT_NE(at, std::string::npos);
  script.replace(at, next.size(), "IDC_NEXT, \"Button\", 0x50010000, 272,");
  const auto dialog = FindDialog(script, "IDD_VORNELL_DIALOG");
  ASSERT_TRUE(dialog.has_value());
  ASSERT_FALSE(dialog->controls.empty());
  EXPECT_EQ(dialog->controls[0].x, 272);
  EXPECT_NE(dialog->controls[0].x, MainDialogLayout().controls[0].x);
}

TEST(ResourceScript, ManifestAsksForElevationAndKeepsClassicControls) {
  const std::string manifest = ReadSourceFile("res/vornell.manifest");
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find(R"(level="requireAdministrator" uiAccess="false")"), std::string::npos);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
  // Windows 7, 8, 8.1 and 10/11: otherwise the program runs in Vista's context.
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos) << os;
  }
  // Common controls 6 would theme every button, check box and the progress bar.
  EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_EQ(manifest.find("<dependency"), std::string::npos);
  // The script embeds it as resource 1 of type 24, in language 1033.
  const std::string script = ReadSourceFile("res/vornell.rc");
  EXPECT_TRUE(std::regex_search(script, std::regex(R"(LANGUAGE 9, 1\b[^\n]*\n1 24 "res/vornell\.manifest")")));
}

}  // namespace
}  // namespace vornell
