#include "app/gui/result_table_model.h"

#include <algorithm>

#include "app/gui/gbk_edge.h"

namespace zv::app {

using harvest::ResultColumn;
using harvest::TableChange;

ResultTableModel::ResultTableModel(harvest::ResultTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), shownRows_(table.RowCount()) {
  pending_.rowCount = shownRows_;
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
  std::lock_guard lock(pendingMutex_);
  switch (change.kind) {
    case TableChange::Kind::Cleared:
      pending_ = Pending{.cleared = true, .flushPosted = pending_.flushPosted};
      break;
    case TableChange::Kind::Appended:
      pending_.rowCount = std::max(pending_.rowCount, change.row + 1);
      break;
    case TableChange::Kind::CellChanged:
      pending_.firstChanged =
          pending_.firstChanged < 0 ? change.row : std::min(pending_.firstChanged, change.row);
      pending_.lastChanged = std::max(pending_.lastChanged, change.row);
      break;
  }
  if (pending_.flushPosted) return;
  pending_.flushPosted = true;
  QMetaObject::invokeMethod(this, &ResultTableModel::Flush, Qt::QueuedConnection);
}

void ResultTableModel::Flush() {
  Pending changes;
  {
    std::lock_guard lock(pendingMutex_);
    changes = pending_;
    pending_ = Pending{.rowCount = changes.rowCount};
  }
  if (changes.cleared) {
    beginResetModel();
    shownRows_ = changes.rowCount;
    endResetModel();
    return;
  }
  const int oldRows = shownRows_;
  if (changes.rowCount > oldRows) {
    beginInsertRows({}, oldRows, changes.rowCount - 1);
    shownRows_ = changes.rowCount;
    endInsertRows();
  }
  const int lastChanged = std::min(changes.lastChanged, oldRows - 1);
  if (changes.firstChanged >= 0 && changes.firstChanged <= lastChanged) {
    emit dataChanged(index(changes.firstChanged, 0), index(lastChanged, harvest::kColumnCount - 1),
                     {Qt::DisplayRole});
  }
}

}  // namespace zv::app
