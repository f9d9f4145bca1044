#include "app/cli/cli_ports.h"

#include <iostream>

#include "text/codepage.h"

namespace zv::app::cli {

namespace {

std::string EscapeCell(const text::Text& gbk) {
  std::string out;
  for (const char c : text::GbkToUtf8(gbk)) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

void StderrView::ShowStatus(const harvest::RunTokenPtr&, const text::Text& text) {
  std::lock_guard lock(mutex_);
  std::cerr << text::GbkToUtf8(text) << std::endl;
}

void StderrView::ShowNotice(const text::Text& text, const text::Text& title) {
  std::lock_guard lock(mutex_);
  noticeShown_ = true;
  std::cerr << text::GbkToUtf8(title) << ": " << text::GbkToUtf8(text) << std::endl;
}

bool StderrView::NoticeShown() const {
  std::lock_guard lock(mutex_);
  return noticeShown_;
}

void PrintTsv(const harvest::ResultTable& table, std::ostream& out) {
  for (int column = 0; column < harvest::kColumnCount; ++column) {
    if (column) out << '\t';
    out << EscapeCell(harvest::ColumnTitle(static_cast<harvest::ResultColumn>(column)));
  }
  out << '\n';
  const int rows = table.RowCount();
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < harvest::kColumnCount; ++column) {
      if (column) out << '\t';
      out << EscapeCell(table.GetCell(row, static_cast<harvest::ResultColumn>(column)));
    }
    out << '\n';
  }
}

}  // namespace zv::app::cli
