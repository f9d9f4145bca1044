#include "app/gui/result_table_model.h"

#include <algorithm>

#include "app/gui/gbk_edge.h"

namespace zv::app {

using harvest::ResultColumn;
using harvest::TableChange;

ResultTableModel::ResultTableModel(harvest::ResultTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), shownRows_(table.RowCount()) {
  rowCount_ = shownRows_;
  table_.SetListener([this](const TableChange& change) { Record(change); });
}

ResultTableModel::~ResultTableModel() { table_.SetListener({}); }

int ResultTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : harvest::kColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return FromGbk(table_.GetCell(index.row(), static_cast<ResultColumn>(index.column())));
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= harvest::kColumnCount) return {};
  if (role == Qt::DisplayRole)
    return FromGbk(harvest::ColumnTitle(static_cast<ResultColumn>(section)));
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// Runs on the writing thread, under the table's lock: record and post only.
void ResultTableModel::Record(const TableChange& change) {
  switch (change.kind) {
    case TableChange::Kind::Cleared:
      rowCount_ = 0;
      ++clears_;
      break;
    case TableChange::Kind::Appended:
      rowCount_ = change.row + 1;
      break;
    case TableChange::Kind::CellChanged:
      for (int first = firstChanged_; change.row < first;) {
        if (firstChanged_.compare_exchange_weak(first, change.row)) break;
      }
      for (int last = lastChanged_; change.row > last;) {
        if (lastChanged_.compare_exchange_weak(last, change.row)) break;
      }
      break;
  }
  if (!flushPosted_.exchange(true)) {
    QMetaObject::invokeMethod(this, &ResultTableModel::Flush, Qt::QueuedConnection);
  }
}

// A flush may see a change half recorded (a clearing whose count it has not
// seen yet, a range with one end only); the next flush, already posted by
// then, completes it, and the cells shown are always read from the table.
void ResultTableModel::Flush() {
  flushPosted_ = false;
  const std::uint64_t clears = clears_;
  const int rows = rowCount_;
  const int firstChanged = firstChanged_.exchange(kNoRow);
  const int lastChanged = std::min(lastChanged_.exchange(-1), shownRows_ - 1);
  if (clears != shownClears_) {
    beginResetModel();
    shownClears_ = clears;
    shownRows_ = rows;
    endResetModel();
    return;
  }
  if (firstChanged <= lastChanged) {
    emit dataChanged(index(firstChanged, 0), index(lastChanged, harvest::kColumnCount - 1),
                     {Qt::DisplayRole});
  }
  if (rows > shownRows_) {
    beginInsertRows({}, shownRows_, rows - 1);
    shownRows_ = rows;
    endInsertRows();
  }
}

}  // namespace zv::app
