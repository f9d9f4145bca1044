// zorvane: the desktop window.
//   zorvane [--site scheme://host[:port]]
// A second instance of the same user ends at once, silently, with status 0.
#include <QApplication>
#include <QCommandLineParser>
#include <QUrl>
#include <cstdio>
#include <string>

#include "app/gui/main_window.h"
#include "app/single_instance.h"
#include "demo-site/demo_site.h"
#include "web/cancel_token.h"

namespace {

// The site as "scheme://host[:port]"; empty when `site` is not of that form.
std::string SiteBase(const QString& site) {
  const QUrl url(site, QUrl::StrictMode);
  const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
  const bool bare = (url.path().isEmpty() || url.path() == QLatin1String("/")) && !url.hasQuery() &&
                    !url.hasFragment() && url.userInfo().isEmpty();
  if (!url.isValid() || !web || url.host().isEmpty() || !bare) return {};
  return url.toString(QUrl::RemovePath | QUrl::StripTrailingSlash).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  zv::app::GuardSingleInstance("kestrovav1.0");

  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption siteOption(
      QStringLiteral("site"), QStringLiteral("The directory site, scheme://host[:port]."),
      QStringLiteral("URL"), QString::fromUtf8(zv::demo::kDefaultDemoSiteUrl));
  parser.addOption(siteOption);
  parser.process(app);
  const std::string site = SiteBase(parser.value(siteOption));
  if (site.empty()) {
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
