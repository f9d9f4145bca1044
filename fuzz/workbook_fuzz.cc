// Fuzzes the workbook writer: sheets and cells drawn from the input are set,
// the workbook is saved, and a strict reader of our own must find a sound
// Compound File holding exactly the sheets and cells that were set.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/workbook.h"
#include "fuzz_check.h"
#include "xls_read_back.h"

namespace {

using zv::app::WorkbookWriter;

// What the reader must find: each sheet's name and its cells by (row, column).
struct ExpectedSheet {
  std::u16string name;
  std::map<std::pair<int, int>, std::u16string> cells;
};

// UTF-16 units worth mixing: ASCII, Latin-1, CJK, both surrogate halves, zero.
char16_t DrawUnit(FuzzedDataProvider& in) {
  static constexpr char16_t kUnits[] = {u'a',      u'0',   u' ',   u'\u00e9', u'\u00ff', u'\u0100',
                                        u'\u7fa4', 0xD83D, 0xDE00, u'\0',     u'\uffff'};
  const auto pick = in.ConsumeIntegral<std::uint8_t>();
  if (pick < std::size(kUnits) * 16) return kUnits[pick % std::size(kUnits)];
  return in.ConsumeIntegral<char16_t>();
}

// A text of up to a few units, or now and then a long one repeating them, so
// cells past the length limit and strings across CONTINUE records come up.
std::u16string DrawText(FuzzedDataProvider& in, std::size_t maxUnits) {
  constexpr std::size_t kLongest = zv::app::kCellMaxChars + 8;
  std::u16string units;
  const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
  for (std::size_t i = 0; i < count; ++i) units += DrawUnit(in);
  const bool isLong = in.ConsumeIntegralInRange<int>(0, 31) == 0;
  const std::size_t length = isLong ? in.ConsumeIntegralInRange<std::size_t>(0, kLongest) : 0;
  std::u16string text = units;
  while (!units.empty() && text.size() < length) text += units;
  return text;
}

int DrawIndex(FuzzedDataProvider& in, int limit) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return in.ConsumeIntegral<int>();
    case 1:
      return limit - 1 + in.ConsumeIntegralInRange<int>(-2, 2);
    default:
      return in.ConsumeIntegralInRange<int>(0, 40);
  }
}

// The text the writer stores: cut at the limit, never inside a surrogate pair.
std::u16string Stored(std::u16string text) {
  if (text.size() <= zv::app::kCellMaxChars) return text;
  const char16_t last = text[zv::app::kCellMaxChars - 1];
  const bool splitsPair = last >= 0xD800 && last < 0xDC00;
  text.resize(splitsPair ? zv::app::kCellMaxChars - 1 : zv::app::kCellMaxChars);
  return text;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A folder of this process for the saved workbooks, in memory when possible;
// removed when the process ends normally.
class SaveFolder {
 public:
  SaveFolder() {
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    path_ = base / ("zv-workbook-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path_);
  }
  ~SaveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  SaveFolder(const SaveFolder&) = delete;
  SaveFolder& operator=(const SaveFolder&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void CheckReadBack(const zv::fuzz::ReadWorkbook& book, const std::vector<ExpectedSheet>& sheets) {
  if (!book.failure.empty()) std::fprintf(stderr, "read back: %s\n", book.failure.c_str());
  ZV_FUZZ_CHECK(book.failure.empty());
  ZV_FUZZ_CHECK(book.sheets.size() == sheets.size());
  for (std::size_t s = 0; s < sheets.size(); ++s) {
    const zv::fuzz::ReadSheet& read = book.sheets[s];
    ZV_FUZZ_CHECK(read.name == sheets[s].name);
    ZV_FUZZ_CHECK(read.cells.size() == sheets[s].cells.size());
    auto expected = sheets[s].cells.begin();
    for (const zv::fuzz::ReadCell& cell : read.cells) {
      // Cells come in row order, then column order, each once.
      ZV_FUZZ_CHECK(expected->first == std::make_pair(cell.row, cell.column));
      ZV_FUZZ_CHECK(cell.blank == expected->second.empty() && cell.text == expected->second);
      ++expected;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  WorkbookWriter writer;
  std::vector<ExpectedSheet> sheets;
  while (in.remaining_bytes() > 0) {
    if (sheets.empty() ? in.ConsumeIntegralInRange<int>(0, 3) > 0
                       : in.ConsumeIntegralInRange<int>(0, 15) == 0) {
      const std::u16string name = DrawText(in, 40);
      writer.AddSheet(name);
      sheets.push_back({name.substr(0, zv::app::kSheetNameMaxChars), {}});
      continue;
    }
    const int row = DrawIndex(in, zv::app::kSheetMaxRows);
    const int column = DrawIndex(in, zv::app::kSheetMaxColumns);
    const std::u16string text = DrawText(in, 12);
    const bool inside = !sheets.empty() && row >= 0 && row < zv::app::kSheetMaxRows &&
                        column >= 0 && column < zv::app::kSheetMaxColumns;
    ZV_FUZZ_CHECK(writer.SetCell(row, column, text) == inside);
    if (inside) sheets.back().cells[{row, column}] = Stored(text);
  }

  static const SaveFolder folder;
  const std::string path = folder.File("data.xls");
  std::string error;
  const bool saved = writer.Save(path, &error);
  ZV_FUZZ_CHECK(saved == !sheets.empty() && error.empty() == saved);
  if (saved) CheckReadBack(zv::fuzz::ReadBackWorkbook(ReadFile(path)), sheets);
  return 0;
}
