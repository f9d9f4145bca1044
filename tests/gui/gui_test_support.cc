#include "gui_test_support.h"

#include <utility>
#include <vector>

namespace zv::app::testing {

namespace {

std::vector<TestFactory>& Registry() {
  static std::vector<TestFactory> factories;
  return factories;
}

}  // namespace

int RegisterTest(TestFactory factory) {
  Registry().push_back(std::move(factory));
  return static_cast<int>(Registry().size());
}

std::vector<std::unique_ptr<QObject>> MakeRegisteredTests() {
  std::vector<std::unique_ptr<QObject>> tests;
  for (const TestFactory& factory : Registry()) tests.push_back(factory());
  return tests;
}

std::unique_ptr<MainWindow> MakeWindow(FakeDialogs*& dialogs, const std::string& site) {
  auto fake = std::make_unique<FakeDialogs>();
  dialogs = fake.get();
  harvest::EngineConfig config{.site = site};
  config.restrictToFirstProcessor = false;
  auto window = std::make_unique<MainWindow>(std::move(config), std::move(fake));
  window->show();
  return window;
}

}  // namespace zv::app::testing
