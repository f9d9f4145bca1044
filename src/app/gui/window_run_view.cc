#include "app/gui/window_run_view.h"

#include <utility>

#include "app/gui/gbk_edge.h"

namespace zv::app {

WindowRunView::WindowRunView(QStatusBar& statusBar, QAbstractButton& collectButton,
                             WindowDialogs& dialogs)
    : statusBar_(statusBar),
      collectButton_(collectButton),
      dialogs_(dialogs),
      windowThread_(QThread::currentThread()) {}

template <class Write>
void WindowRunView::Deliver(QObject& target, const harvest::RunTokenPtr& token, Write write) {
  auto writeWhileLive = [token, write = std::move(write)] {
    if (token->IsLive()) write();
  };
  if (QThread::currentThread() == windowThread_) {
    writeWhileLive();
  } else {
    QMetaObject::invokeMethod(&target, std::move(writeWhileLive), Qt::QueuedConnection);
  }
}

void WindowRunView::ShowStatus(const harvest::RunTokenPtr& token, const text::Text& text) {
  Deliver(statusBar_, token,
          [bar = &statusBar_, shown = FromGbk(text)] { bar->showMessage(shown); });
}

void WindowRunView::SetCollectEnabled(const harvest::RunTokenPtr& token, bool enabled) {
  Deliver(collectButton_, token,
          [button = &collectButton_, enabled] { button->setEnabled(enabled); });
}

void WindowRunView::ShowNotice(const text::Text& text, const text::Text& title) {
  dialogs_.ShowNotice(FromGbk(title), FromGbk(text), QMessageBox::Information);
}

}  // namespace zv::app
