// Shared pieces of the window tests: a registry so that every test class
// runs from one binary, dialogs that answer in place of the user, and a
// window built against a given site.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/gui/main_window.h"
#include "app/gui/window_dialogs.h"

namespace zv::app::testing {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterTest(TestFactory factory);
// Every registered test object, in registration order.
std::vector<std::unique_ptr<QObject>> MakeRegisteredTests();

#define ZV_GUI_TEST(Class)                              \
  [[maybe_unused]] static const int Class##Registered = \
      ::zv::app::testing::RegisterTest([] { return std::make_unique<Class>(); })

// The dialogs' answers, given in advance, and what the window asked.
class FakeDialogs final : public WindowDialogs {
 public:
  struct Notice {
    QString title;
    QString text;
    QMessageBox::Icon icon;
  };

  QString ChooseKeywordFile(const QString& previous) override {
    offeredFiles.append(previous);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
  }
  QString ChooseFolder(const QString& title) override {
    folderTitles.append(title);
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
  }
  void ShowNotice(const QString& title, const QString& text, QMessageBox::Icon icon) override {
    notices.append({title, text, icon});
  }

  QStringList fileAnswers;  // empty answers stand for a cancel
  QStringList folderAnswers;
  QStringList offeredFiles;  // the previous file offered by each open-file dialog
  QStringList folderTitles;
  QList<Notice> notices;
};

// A shown window whose engine harvests `site` (a closed port by default, for the
// tests that start no run); `dialogs` receives the window's fake dialogs.
std::unique_ptr<MainWindow> MakeWindow(FakeDialogs*& dialogs,
                                       const std::string& site = "http://127.0.0.1:1");

// The control named `name` in `window`; fails the test when it is missing.
template <class Control>
Control* Find(QWidget& window, const char* name) {
  auto* control = window.findChild<Control*>(QString::fromUtf8(name));
  if (control == nullptr) qFatal("no control %s", name);
  return control;
}

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace zv::app::testing
