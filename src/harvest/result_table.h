// ResultTable: the twelve-column result store that every phase writes and the
// window shows. Rows are only appended, and removed all at once.
//
// Thread-safe: every operation is atomic under one mutex. Each clearing starts
// a new epoch; a RowRef names a row of one epoch, and a write through a RowRef
// of an earlier epoch changes nothing, even after new rows were appended.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "text/text.h"

namespace zv::harvest {

using text::Text;

enum class ResultColumn : int {
  Id = 0,
  Name,
  Url,
  Source,
  Description,
  Industry,
  Time,
  Region,
  Tags,
  WechatId,
  QrImage,
  Status,
};
inline constexpr int kColumnCount = 12;

// The header title (GBK) and initial width in pixels of a column.
const Text& ColumnTitle(ResultColumn column);
int ColumnWidth(ResultColumn column);

using Row = std::array<Text, kColumnCount>;

struct RowRef {
  std::uint64_t epoch = 0;
  int index = -1;
};

// What changed, handed to the listener under the table's lock, in order.
struct TableChange {
  enum class Kind { Appended, CellChanged, Cleared } kind;
  std::uint64_t epoch;
  int row;              // the appended or changed row; -1 for Cleared
  ResultColumn column;  // CellChanged only
};

class ResultTable {
 public:
  using Listener = std::function<void(const TableChange&)>;

  // Adds a row of empty cells at the end and returns its index.
  int AppendRow();
  // Adds a row whose cells `fill` sets (given the new index) before any other
  // thread can see the row, so it appears whole.
  RowRef AppendRow(const std::function<void(int index, Row& cells)>& fill);
  int RowCount() const;
  // Writes of a row that does not exist (in the row's epoch) change nothing.
  void SetCell(int row, ResultColumn column, const Text& value);
  void SetCell(RowRef row, ResultColumn column, const Text& value);
  // Reads of a row that does not exist yield the empty text.
  Text GetCell(int row, ResultColumn column) const;
  Text GetCell(RowRef row, ResultColumn column) const;
  void ClearRows();

  // The current epoch, and a reference to row `index` in it.
  std::uint64_t Epoch() const;
  RowRef Ref(int index) const;

  // Installs the one change listener (empty to remove). It runs on the writing
  // thread under the table's lock: it must be quick and must not call back.
  void SetListener(Listener listener);

 private:
  bool Exists(RowRef row) const;
  void Notify(const TableChange& change) const;

  mutable std::mutex mutex_;
  std::vector<Row> rows_;    // guarded by mutex_
  std::uint64_t epoch_ = 1;  // guarded by mutex_
  Listener listener_;        // guarded by mutex_
};

}  // namespace zv::harvest
