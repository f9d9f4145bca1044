// WorkbookWriter: builds an Excel 97-2003 workbook (.xls) whose cells are all
// texts shown with the text number format "@".
//
// The file is a Compound File (512-byte sectors, no mini stream) holding one
// "Workbook" stream of BIFF8 records. Strings go to the shared string table;
// each one is stored as 8-bit characters when all of its UTF-16 units are
// below 256 and as UTF-16 otherwise. Not thread-safe: one thread builds and
// saves a writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zv::app {

// The limits of one BIFF8 worksheet and cell.
inline constexpr int kSheetMaxRows = 65536;
inline constexpr int kSheetMaxColumns = 256;
inline constexpr std::size_t kCellMaxChars = 32767;
inline constexpr std::size_t kSheetNameMaxChars = 31;

class WorkbookWriter {
 public:
  WorkbookWriter() = default;
  WorkbookWriter(const WorkbookWriter&) = delete;
  WorkbookWriter& operator=(const WorkbookWriter&) = delete;

  // Starts a new worksheet named `name` (cut at kSheetNameMaxChars; the caller
  // gives a name Excel accepts, unique in the workbook); the cells set from now
  // on go to it.
  void AddSheet(std::u16string_view name);

  // Sets the text of cell (row, column), both 0-based, of the sheet added last.
  // A text longer than kCellMaxChars UTF-16 units is cut there (never inside a
  // surrogate pair). An empty text makes a blank cell that still carries the
  // text format. Setting a cell again replaces its text. Returns false, and
  // changes nothing, when no sheet was added or the cell is past the limits.
  bool SetCell(int row, int column, std::u16string_view text);

  // Writes the workbook to `path` (a file system path) through a temporary file
  // in the same folder that is then renamed over `path`: afterwards `path`
  // holds either its earlier content or the whole new workbook. On failure
  // returns false and, when `error` is given, sets it to the reason in ASCII.
  bool Save(const std::string& path, std::string* error) const;

 private:
  struct Cell {
    std::uint16_t row;
    std::uint16_t column;
    std::uint32_t string;  // index into strings_; UINT32_MAX for a blank cell
  };
  struct Sheet {
    std::u16string name;
    std::vector<Cell> cells;  // in the order set
  };

  std::uint32_t InternString(std::u16string_view text);

  std::vector<Sheet> sheets_;
  // The shared string table: each distinct text once, in order of first use.
  std::unordered_map<std::u16string, std::uint32_t> stringIndex_;
  std::vector<const std::u16string*> strings_;  // keys of stringIndex_
};

}  // namespace zv::app
