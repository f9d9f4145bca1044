#include "harvest/result_table.h"

#include <string_view>
#include <utility>

#include "text/codepage.h"

namespace zv::harvest {

namespace {

struct ColumnSpec {
  std::string_view titleUtf8;
  int width;
};

constexpr std::array<ColumnSpec, kColumnCount> kColumns = {{
    {"ID", 50},
    {"群/公众号名称", 100},
    {"URL", 0},
    {"来自", 100},
    {"简介", 100},
    {"行业", 80},
    {"时间", 80},
    {"地区", 80},
    {"标签", 80},
    {"微信号", 100},
    {"二维码图片", 100},
    {"工作状态", 70},
}};

}  // namespace

const Text& ColumnTitle(ResultColumn column) {
  static const std::array<Text, kColumnCount> titles = [] {
    std::array<Text, kColumnCount> gbk;
    for (int i = 0; i < kColumnCount; ++i) gbk[i] = text::Gbk(kColumns[i].titleUtf8);
    return gbk;
  }();
  return titles[static_cast<int>(column)];
}

int ColumnWidth(ResultColumn column) { return kColumns[static_cast<int>(column)].width; }

int ResultTable::AppendRow() {
  return AppendRow([](int, Row&) {}).index;
}

RowRef ResultTable::AppendRow(const std::function<void(int index, Row& cells)>& fill) {
  std::lock_guard lock(mutex_);
  const int index = static_cast<int>(rows_.size());
  Row row;
  fill(index, row);
  rows_.push_back(std::move(row));
  Notify({TableChange::Kind::Appended, epoch_, index, ResultColumn::Id});
  return {epoch_, index};
}

int ResultTable::RowCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

void ResultTable::SetCell(int row, ResultColumn column, const Text& value) {
  std::lock_guard lock(mutex_);
  const RowRef ref{epoch_, row};
  if (!Exists(ref)) return;
  rows_[row][static_cast<int>(column)] = value;
  Notify({TableChange::Kind::CellChanged, epoch_, row, column});
}

void ResultTable::SetCell(RowRef row, ResultColumn column, const Text& value) {
  std::lock_guard lock(mutex_);
  if (!Exists(row)) return;
  rows_[row.index][static_cast<int>(column)] = value;
  Notify({TableChange::Kind::CellChanged, epoch_, row.index, column});
}

Text ResultTable::GetCell(int row, ResultColumn column) const {
  std::lock_guard lock(mutex_);
  if (!Exists({epoch_, row})) return {};
  return rows_[row][static_cast<int>(column)];
}

Text ResultTable::GetCell(RowRef row, ResultColumn column) const {
  std::lock_guard lock(mutex_);
  if (!Exists(row)) return {};
  return rows_[row.index][static_cast<int>(column)];
}

void ResultTable::ClearRows() {
  std::lock_guard lock(mutex_);
  rows_.clear();
  ++epoch_;
  Notify({TableChange::Kind::Cleared, epoch_, -1, ResultColumn::Id});
}

std::uint64_t ResultTable::Epoch() const {
  std::lock_guard lock(mutex_);
  return epoch_;
}

RowRef ResultTable::Ref(int index) const {
  std::lock_guard lock(mutex_);
  return {epoch_, index};
}

void ResultTable::SetListener(Listener listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

bool ResultTable::Exists(RowRef row) const {
  return row.epoch == epoch_ && row.index >= 0 && row.index < static_cast<int>(rows_.size());
}

void ResultTable::Notify(const TableChange& change) const {
  if (listener_) listener_(change);
}

}  // namespace zv::harvest
