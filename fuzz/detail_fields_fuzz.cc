// Fuzzes the detail-page fields with arbitrary response bytes, decoded as a
// page is: no crash, and each cell has the shape its pattern allows.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "harvest/detail_worker.h"
#include "harvest/search_page.h"
#include "text/regex_matcher.h"
#include "text/text.h"

namespace {

using zv::harvest::ResultColumn;

const zv::text::Text& Cell(const zv::harvest::DetailCells& cells, ResultColumn column) {
  return cells[static_cast<int>(column) - static_cast<int>(ResultColumn::Description)];
}

void CheckCells(const zv::text::Text& page, const zv::harvest::DetailCells& cells) {
  if (zv::text::Contains(page, zv::harvest::RemovedEntryMarker())) {
    for (const zv::text::Text& cell : cells) ZV_FUZZ_CHECK(cell == zv::harvest::RemovedEntryText());
    return;
  }
  // Every field but the description is a single line.
  for (ResultColumn column : {ResultColumn::Industry, ResultColumn::Time, ResultColumn::Region,
                              ResultColumn::Tags, ResultColumn::WechatId, ResultColumn::QrImage})
    ZV_FUZZ_CHECK(Cell(cells, column).find('\n') == std::string::npos);
  ZV_FUZZ_CHECK(!Cell(cells, ResultColumn::WechatId).empty());
  const zv::text::Text& qrImage = Cell(cells, ResultColumn::QrImage);
  ZV_FUZZ_CHECK(qrImage.empty() || zv::text::Find(qrImage, "http://img2", 1, true) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zv::text::Text page = zv::harvest::Utf8BytesToText(zv::text::Bytes(data, data + size));
  zv::text::RegexMatcher matcher;
  const zv::harvest::DetailCells cells = zv::harvest::ExtractDetailCells(page, matcher);
  CheckCells(page, cells);
  // The patterns come from the thread's cache the second time: same cells.
  ZV_FUZZ_CHECK(zv::harvest::ExtractDetailCells(page, matcher) == cells);
  return 0;
}
