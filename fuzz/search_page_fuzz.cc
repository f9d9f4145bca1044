// Fuzzes the search-page harvest with arbitrary response bytes, decoded as a
// page is: no crash, and the rows are numbered and cleaned as promised.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "harvest/result_table.h"
#include "harvest/search_page.h"
#include "text/regex_matcher.h"
#include "text/text.h"

namespace {

using zv::harvest::ResultColumn;

bool HasLineFeed(const zv::text::Text& text) { return text.find('\n') != std::string::npos; }

void CheckRows(const zv::harvest::ResultTable& table, int entries) {
  ZV_FUZZ_CHECK(table.RowCount() == 2 * entries);
  for (int row = 0; row < table.RowCount(); ++row) {
    ZV_FUZZ_CHECK(table.GetCell(row, ResultColumn::Id) == std::to_string(row + 1));
    ZV_FUZZ_CHECK(!HasLineFeed(table.GetCell(row, ResultColumn::Url)));
    ZV_FUZZ_CHECK(!HasLineFeed(table.GetCell(row, ResultColumn::Source)));
    const zv::text::Text name = table.GetCell(row, ResultColumn::Name);
    ZV_FUZZ_CHECK(!HasLineFeed(name) && name.find_first_of("\"?") == std::string::npos);
    ZV_FUZZ_CHECK(zv::text::TrimSpaces(name) == name);
    // The second harvest of the same page gives the same rows again.
    if (row >= entries) {
      for (ResultColumn column : {ResultColumn::Name, ResultColumn::Url, ResultColumn::Source})
        ZV_FUZZ_CHECK(table.GetCell(row, column) == table.GetCell(row - entries, column));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zv::text::Text page = zv::harvest::Utf8BytesToText(zv::text::Bytes(data, data + size));
  zv::text::RegexMatcher titleMatcher;
  zv::text::RegexMatcher sourceMatcher;
  zv::harvest::ResultTable table;
  zv::harvest::HarvestSearchPage(page, titleMatcher, sourceMatcher, table);
  const int entries = table.RowCount();
  ZV_FUZZ_CHECK(entries == titleMatcher.MatchCount());
  zv::harvest::HarvestSearchPage(page, titleMatcher, sourceMatcher, table);
  CheckRows(table, entries);
  return 0;
}
