#include "app/gui/window_dialogs.h"

#include <QFileDialog>

namespace zv::app {

namespace {

class DesktopDialogs final : public WindowDialogs {
 public:
  QString ChooseKeywordFile(const QString& previous) override {
    QFileDialog dialog;
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("文本文档 (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (!previous.isEmpty()) dialog.selectFile(previous);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
  }

  QString ChooseFolder(const QString& title) override {
    return QFileDialog::getExistingDirectory(nullptr, title);
  }

  void ShowNotice(const QString& title, const QString& text, QMessageBox::Icon icon) override {
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
  }
};

}  // namespace

std::unique_ptr<WindowDialogs> MakeDesktopDialogs() { return std::make_unique<DesktopDialogs>(); }

}  // namespace zv::app
