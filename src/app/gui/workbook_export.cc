#include "app/gui/workbook_export.h"

#include <QMetaObject>
#include <QPointer>
#include <string>

#include "app/excel_export.h"

namespace zv::app {

WorkbookExport::WorkbookExport(const harvest::ResultTable& table, QObject* parent)
    : QObject(parent), table_(table) {}

WorkbookExport::~WorkbookExport() {
  if (writer_.joinable()) writer_.join();
}

void WorkbookExport::Start(const text::Text& folderText) {
  const text::Text path = ExportTargetPath(folderText);
  writer_ = std::thread([this, path] {
    std::string error;
    const bool written = ExportToExcel(path, ExportTitles(), table_, &error);
    const QString reason = written ? QString() : QString::fromStdString(error);
    // Delivered on the window thread; dropped if this object is gone by then.
    QMetaObject::invokeMethod(
        this, [this, reason] { Finish(reason); }, Qt::QueuedConnection);
  });
}

void WorkbookExport::Finish(const QString& error) {
  if (writer_.joinable()) writer_.join();  // the thread has already posted its last word
  emit finished(error);
}

}  // namespace zv::app
