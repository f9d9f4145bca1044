// ReadXls: what independent readers (olefile for the Compound File, xlrd for
// the BIFF records, run by /usr/bin/python3) find in an .xls file.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace zv::testing {

struct XlsSheet {
  std::u16string name;
  int rows = 0;
  int columns = 0;
};

struct XlsCell {
  std::string type;  // "text", "blank", "empty", "number", ...
  std::u16string format;
  std::u16string value;
};

struct XlsContents {
  std::string failure;               // empty when both readers read the file whole
  std::vector<std::string> streams;  // the compound file's stream names
  std::vector<std::string> log;      // complaints of the workbook reader (UTF-8)
  std::vector<XlsSheet> sheets;
  std::map<std::tuple<int, int, int>, XlsCell> cells;  // by (sheet, row, column)

  // The cell, or an "absent" cell when it was not printed.
  XlsCell Cell(int sheet, int row, int column) const;
};

// Reads `path`; `rows` limits the cells read to those rows (comma-separated,
// 0-based, negative ones counting from each sheet's end); empty means all.
XlsContents ReadXls(const std::string& path, const std::string& rows = "");

}  // namespace zv::testing
