// WindowDialogs: the modal dialogs the main window's commands open. The window
// asks through this interface so that tests can answer in place of the user.
//
// Thread rule: window thread only.
#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

namespace zv::app {

class WindowDialogs {
 public:
  virtual ~WindowDialogs() = default;
  // A keyword file from the open-file dialog ("文本文档 (*.txt)"), whose name
  // field starts at `previous`; empty when the user cancels.
  virtual QString ChooseKeywordFile(const QString& previous) = 0;
  // A folder from the folder picker titled `title`; empty when cancelled.
  virtual QString ChooseFolder(const QString& title) = 0;
  // An application-modal notice without owner and with an OK button only.
  virtual void ShowNotice(const QString& title, const QString& text, QMessageBox::Icon icon) = 0;
};

// The desktop's own dialogs.
std::unique_ptr<WindowDialogs> MakeDesktopDialogs();

}  // namespace zv::app
