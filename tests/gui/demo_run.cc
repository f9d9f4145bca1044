// gui_demo_run: one harvest in the real window, driven through its buttons,
// for the figures and pictures a test must not assert on.
//   gui_demo_run [--site URL | --latency-ms N] [--keywords a,b] [--pages N]
//                [--threads 5|10|20] [--screenshot FILE]
// Without --site it starts a demo site of its own on a free port. It prints
// the rows harvested, the run's time and the longest stall of the window's
// event loop (the largest gap between ticks of a 5 ms timer), then saves the
// window's picture when asked.
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/gui/main_window.h"
#include "demo-site/demo_site.h"

namespace {

using zv::app::MainWindow;

template <class Control>
Control* Find(MainWindow& window, const char* name) {
  return window.findChild<Control*>(QString::fromUtf8(name));
}

// Whether every row of the list shows a finished detail worker.
bool AllRowsDone(QAbstractItemModel& rows) {
  if (rows.rowCount() == 0) return false;
  for (int row = 0; row < rows.rowCount(); ++row) {
    if (rows.index(row, 11).data().toString() != QStringLiteral("采集完成")) return false;
  }
  return true;
}

// The longest gap between two ticks of a fast timer on the calling thread.
class StallMeter {
 public:
  StallMeter() {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { longestMs_ = std::max(longestMs_, clock_.restart()); });
    timer_.start(5);
  }
  qint64 LongestMs() const { return longestMs_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longestMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption site(QStringLiteral("site"), "The site to harvest.", "URL");
  const QCommandLineOption latency(QStringLiteral("latency-ms"), "Latency of the own demo site.",
                                   "N", "0");
  const QCommandLineOption keywords(QStringLiteral("keywords"), "Comma-separated keywords.", "LIST",
                                    QStringLiteral("美食,旅游"));
  const QCommandLineOption pages(QStringLiteral("pages"), "Pages per keyword.", "N", "50");
  const QCommandLineOption threads(QStringLiteral("threads"), "Worker threads: 5, 10 or 20.", "N",
                                   "20");
  const QCommandLineOption screenshot(QStringLiteral("screenshot"), "Save the window as this PNG.",
                                      "FILE");
  parser.addOptions({site, latency, keywords, pages, threads, screenshot});
  parser.process(app);

  std::unique_ptr<zv::demo::DemoSite> ownSite;
  std::string siteUrl = parser.value(site).toStdString();
  if (siteUrl.empty()) {
    ownSite = std::make_unique<zv::demo::DemoSite>(
        zv::demo::DemoSiteOptions{.latencyMs = parser.value(latency).toInt()});
    if (!ownSite->Start()) {
      std::fputs("gui_demo_run: the demo site does not start\n", stderr);
      return 1;
    }
    siteUrl = ownSite->BaseUrl();
  }

  MainWindow window({.site = siteUrl}, zv::app::MakeDesktopDialogs());
  window.show();
  Find<QPlainTextEdit>(window, "编辑框_关键词")
      ->setPlainText(parser.value(keywords).split(QLatin1Char(',')).join(QLatin1Char('\n')));
  Find<QLineEdit>(window, "编辑框_采集页数")->setText(parser.value(pages));
  auto* threadList = Find<QComboBox>(window, "组合框1");
  threadList->setCurrentIndex(std::max(0, threadList->findText(parser.value(threads))));
  QAbstractItemModel& rows = *Find<QTableView>(window, "超级列表框1")->model();
  QPushButton* collect = Find<QPushButton>(window, "按钮_采集");

  StallMeter stalls;
  QElapsedTimer run;
  run.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (collect->isEnabled() && AllRowsDone(rows)) app.quit();
  });
  QTimer::singleShot(0, collect, &QPushButton::click);
  poll.start(50);
  app.exec();

  std::printf("rows: %d\nrun: %lld ms\nlongest event-loop stall: %lld ms\n", rows.rowCount(),
              static_cast<long long>(run.elapsed()), static_cast<long long>(stalls.LongestMs()));
  if (parser.isSet(screenshot) && !window.grab().save(parser.value(screenshot), "PNG")) {
    std::fputs("gui_demo_run: the picture cannot be saved\n", stderr);
    return 1;
  }
  return 0;
}
