#include "app/excel_export.h"

#include <string>

#include "app/workbook.h"
#include "text/codepage.h"
#include "text/pump.h"

namespace zv::app {
namespace {

constexpr int kTableRowsPerSheet = kSheetMaxRows - 1;  // below the header row

std::u16string Wide(const Text& text) { return text::ToWide(text, text::CodePage::Gbk); }

void StartSheet(WorkbookWriter& book, int sheetNumber, const std::vector<std::u16string>& titles) {
  const std::string name = "Sheet" + std::to_string(sheetNumber);
  book.AddSheet(std::u16string(name.begin(), name.end()));
  for (std::size_t k = 0; k < titles.size(); ++k) book.SetCell(0, static_cast<int>(k), titles[k]);
}

// The text of table cell (row, column); a column the table does not have is empty.
Text TableCell(const harvest::ResultTable& table, int row, std::size_t column) {
  if (column >= static_cast<std::size_t>(harvest::kColumnCount)) return {};
  return table.GetCell(row, static_cast<harvest::ResultColumn>(column));
}

}  // namespace

const std::vector<Text>& ExportTitles() {
  static const std::vector<Text> titles = {
      text::Gbk("ID"),   text::Gbk("群/公众号名称"), text::Gbk("URL"),        text::Gbk("来自"),
      text::Gbk("简介"), text::Gbk("行业"),          text::Gbk("时间"),       text::Gbk("地区"),
      text::Gbk("标签"), text::Gbk("微信号"),        text::Gbk("二维码图片"), text::Gbk("工作状态"),
  };
  return titles;
}

Text ExportTargetPath(const Text& folder) { return folder + "/data.xls"; }

bool ExportToExcel(const Text& path, const std::vector<Text>& titles,
                   const harvest::ResultTable& table, std::string* error) {
  std::vector<std::u16string> wideTitles;
  for (const Text& title : titles) wideTitles.push_back(Wide(title));

  WorkbookWriter book;
  StartSheet(book, 1, wideTitles);
  const int rowCount = table.RowCount();
  for (int r = 0; r < rowCount; ++r) {
    if (r > 0 && r % kTableRowsPerSheet == 0)
      StartSheet(book, r / kTableRowsPerSheet + 1, wideTitles);
    text::PumpPendingMessages();
    const int sheetRow = r % kTableRowsPerSheet + 1;
    for (std::size_t k = 0; k < titles.size(); ++k) {
      book.SetCell(sheetRow, static_cast<int>(k), Wide(TableCell(table, r, k)));
    }
  }
  return book.Save(text::GbkToUtf8(path), error);
}

}  // namespace zv::app
