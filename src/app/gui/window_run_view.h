// WindowRunView: what a harvest run shows, delivered to the window's status
// bar and Collect button.
//
// Thread rule: ShowStatus and SetCollectEnabled may be called on any thread.
// Called on the window thread they apply at once; from any other thread they
// are posted to the window thread, and a posted write whose run token has been
// revoked by the time it arrives is dropped. Engine threads never wait for the
// window. ShowNotice runs on the window thread only. The widgets must outlive
// every engine that calls this view.
#pragma once

#include <QAbstractButton>
#include <QStatusBar>
#include <QThread>

#include "app/gui/window_dialogs.h"
#include "harvest/run_ports.h"

namespace zv::app {

class WindowRunView final : public harvest::RunView {
 public:
  WindowRunView(QStatusBar& statusBar, QAbstractButton& collectButton, WindowDialogs& dialogs);

  void ShowStatus(const harvest::RunTokenPtr& token, const text::Text& text) override;
  void SetCollectEnabled(const harvest::RunTokenPtr& token, bool enabled) override;
  void ShowNotice(const text::Text& text, const text::Text& title) override;

 private:
  template <class Write>
  void Deliver(QObject& target, const harvest::RunTokenPtr& token, Write write);

  QStatusBar& statusBar_;
  QAbstractButton& collectButton_;
  WindowDialogs& dialogs_;
  QThread* const windowThread_;
};

}  // namespace zv::app
