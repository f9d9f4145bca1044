// WorkbookExport: writes the result table as data.xls on a thread of its own,
// so the window stays responsive however large the table is.
//
// Thread rule: a window-thread object. The writing thread only reads the
// (thread-safe) table; its outcome comes back as the finished() signal on the
// window thread. The destructor waits for a write in progress, which the
// table's owner must outlive.
#pragma once

#include <QObject>
#include <QString>
#include <thread>

#include "harvest/result_table.h"
#include "text/text.h"

namespace zv::app {

class WorkbookExport final : public QObject {
  Q_OBJECT

 public:
  WorkbookExport(const harvest::ResultTable& table, QObject* parent);
  ~WorkbookExport() override;

  bool Running() const { return writer_.joinable(); }
  // Starts writing data.xls into the folder named by `folderText` (GBK, as
  // typed). REQUIRES: !Running().
  void Start(const text::Text& folderText);

 signals:
  // The export has ended; `error` is empty after a success.
  void finished(const QString& error);

 private:
  void Finish(const QString& error);

  const harvest::ResultTable& table_;
  std::thread writer_;
};

}  // namespace zv::app
