// ReadBackWorkbook: a strict reader of the .xls files the workbook writer
// makes, for the workbook fuzz target. It checks the Compound File's
// structure (header, FAT and DIFAT, every chain in range, acyclic and of the
// right length, no sector used twice) and the Workbook stream's BIFF records
// (record bounds, SST with its CONTINUE records and EXTSST, sheet positions,
// cell references) and returns the sheets and cells it found.
// Pure function: any thread may call it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv::fuzz {

struct ReadCell {
  int row = 0;
  int column = 0;
  bool blank = false;
  std::u16string text;
};

struct ReadSheet {
  std::u16string name;
  std::vector<ReadCell> cells;  // in the order of the file
};

struct ReadWorkbook {
  std::string failure;  // the first broken rule; empty when the file is sound
  std::vector<ReadSheet> sheets;
};

ReadWorkbook ReadBackWorkbook(std::span<const std::uint8_t> file);

}  // namespace zv::fuzz
