// ResultTableModel: the list view's read-only model over a ResultTable.
//
// The table's writers (any thread) only record what changed, under the
// model's own lock, and post at most one pending flush to the window thread;
// the flush tells the view about every row appended, every range of rows
// changed and any clearing since the previous flush, at thousands of rows a
// second as well as at one. Cells are read from the table when the view asks.
//
// Thread rule: construct, use and destroy on the window thread, before the
// table's writers start and after they have ended; the table must outlive
// the model.
#pragma once

#include <QAbstractTableModel>
#include <mutex>

#include "harvest/result_table.h"

namespace zv::app {

class ResultTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ResultTableModel(harvest::ResultTable& table, QObject* parent = nullptr);
  ~ResultTableModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // What the view has not been told yet, since the last flush.
  struct Pending {
    bool cleared = false;
    int rowCount = 0;       // the table's row count after the last change
    int firstChanged = -1;  // changed rows, as one range; -1 for none
    int lastChanged = -1;
    bool flushPosted = false;
  };

  void Record(const harvest::TableChange& change);
  void Flush();

  harvest::ResultTable& table_;
  int shownRows_ = 0;  // window thread only
  std::mutex pendingMutex_;
  Pending pending_;  // guarded by pendingMutex_
};

}  // namespace zv::app
