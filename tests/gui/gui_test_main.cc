// Runs every registered window test class on the offscreen platform.
#include <QApplication>
#include <QTest>

#include "gui_test_support.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int failures = 0;
  for (const auto& test : zv::app::testing::MakeRegisteredTests()) {
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
