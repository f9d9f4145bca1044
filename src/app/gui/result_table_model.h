// ResultTableModel: the list view's read-only model over a ResultTable.
//
// The table's writers (any thread) only record what changed, in a few atomic
// counters, and post at most one pending flush to the window thread; the
// flush tells the view about every row appended, every range of rows changed
// and any clearing since the previous flush, at thousands of rows a second as
// well as at one. The window thread never waits for a writer here: with every
// thread on one processor, a writer preempted while holding a lock would
// stall the window. Cells are read from the table when the view asks.
//
// Thread rule: construct, use and destroy on the window thread, before the
// table's writers start and after they have ended; the table must outlive
// the model.
#pragma once

#include <QAbstractTableModel>
#include <atomic>
#include <cstdint>
#include <limits>

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
  static constexpr int kNoRow = std::numeric_limits<int>::max();

  void Record(const harvest::TableChange& change);
  void Flush();

  harvest::ResultTable& table_;
  int shownRows_ = 0;              // window thread only
  std::uint64_t shownClears_ = 0;  // window thread only

  // What changed since the last flush. Written by Record, which the table
  // serialises under its lock; taken by Flush without any lock.
  std::atomic<std::uint64_t> clears_{0};   // clearings so far
  std::atomic<int> rowCount_{0};           // the row count after the last change
  std::atomic<int> firstChanged_{kNoRow};  // the changed rows, as one range
  std::atomic<int> lastChanged_{-1};
  std::atomic<bool> flushPosted_{false};
};

}  // namespace zv::app
