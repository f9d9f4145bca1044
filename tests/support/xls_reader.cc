#include "support/xls_reader.h"

#include <cstdio>
#include <memory>
#include <sstream>

namespace zv::testing {
namespace {

std::u16string FromHex(const std::string& hex) {
  std::u16string text;
  if (hex == "-") return text;
  for (std::size_t i = 0; i + 4 <= hex.size(); i += 4) {
    const unsigned low = std::stoul(hex.substr(i, 2), nullptr, 16);
    const unsigned high = std::stoul(hex.substr(i + 2, 2), nullptr, 16);
    text.push_back(static_cast<char16_t>(high << 8 | low));
  }
  return text;
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  return out;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void ParseLine(const std::string& line, XlsContents& contents) {
  std::istringstream in(line);
  std::string kind;
  in >> kind;
  if (kind == "streams") {
    for (std::string name; in >> name;) contents.streams.push_back(name);
  } else if (kind == "log") {
    std::string hex;
    in >> hex;
    contents.log.push_back(Narrow(FromHex(hex)));
  } else if (kind == "sheet") {
    int index;
    XlsSheet sheet;
    std::string name;
    in >> index >> sheet.rows >> sheet.columns >> name;
    sheet.name = FromHex(name);
    contents.sheets.push_back(sheet);
  } else if (kind == "cell") {
    int sheet, row, column;
    XlsCell cell;
    std::string format, value;
    in >> sheet >> row >> column >> cell.type >> format >> value;
    cell.format = FromHex(format);
    cell.value = FromHex(value);
    contents.cells[{sheet, row, column}] = cell;
  } else if (kind == "error") {
    contents.failure = line;
  }
}

}  // namespace

XlsCell XlsContents::Cell(int sheet, int row, int column) const {
  const auto found = cells.find({sheet, row, column});
  return found == cells.end() ? XlsCell{"absent", {}, {}} : found->second;
}

XlsContents ReadXls(const std::string& path, const std::string& rows) {
  const std::string script = std::string(ZV_TEST_DATA_DIR) + "/../support/read_xls.py";
  const std::string command = "/usr/bin/python3 " + ShellQuoted(script) + " " + ShellQuoted(path) +
                              " " + ShellQuoted(rows) + " 2>&1";
  XlsContents contents;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) {
    contents.failure = "cannot run " + command;
    return contents;
  }
  std::string line;
  bool ended = false;
  for (int c; (c = std::fgetc(pipe.get())) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    ended = line == "end";
    ParseLine(line, contents);
    line.clear();
  }
  if (!ended && contents.failure.empty()) contents.failure = "the reader stopped early: " + line;
  return contents;
}

}  // namespace zv::testing
