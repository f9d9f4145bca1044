// zorvane: the desktop window.
//   zorvane [--site scheme://host[:port]]
// A second instance of the same user ends at once, silently, with status 0.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <string>

#include "app/gui/main_window.h"
#include "app/single_instance.h"
#include "app/site_address.h"
#include "web/cancel_token.h"

int main(int argc, char** argv) {
  zv::app::GuardSingleInstance("kestrovav1.0");

  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption siteOption(
      QStringLiteral("site"), QStringLiteral("The directory site, scheme://host[:port]."),
      QStringLiteral("URL"), QString::fromUtf8(zv::app::kDefaultSiteUrl));
  parser.addOption(siteOption);
  parser.process(app);
  const std::string site = parser.value(siteOption).toStdString();
  if (!zv::app::IsSiteUrl(site)) {
    std::fputs("zorvane: --site wants scheme://host[:port]\n", stderr);
    return 2;
  }

  // Transfers still in flight end at once when the window has closed; the
  // window's engine then stops its threads and waits for them.
  QObject::connect(&app, &QCoreApplication::aboutToQuit,
                   [] { zv::web::ProcessShutdownToken().Cancel(); });

  zv::app::MainWindow window({.site = site}, zv::app::MakeDesktopDialogs());
  window.show();
  return app.exec();
}
