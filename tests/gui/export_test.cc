// The export button's three paths: data.xls written beside the window, a
// failed export told in the status bar, and the download window that saves
// the QR images of the selected rows.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/gui/download_window.h"
#include "demo-site/demo_site.h"
#include "gui_test_support.h"
#include "text/codepage.h"

namespace zv::app::testing {
namespace {

using harvest::ResultColumn;

void AddRow(harvest::ResultTable& table, const std::string& name, const std::string& source,
            const std::string& qr) {
  table.AppendRow([&](int index, harvest::Row& cells) {
    cells[static_cast<int>(ResultColumn::Id)] = std::to_string(index + 1);
    cells[static_cast<int>(ResultColumn::Name)] = text::Gbk(name);
    cells[static_cast<int>(ResultColumn::Source)] = text::Gbk(source);
    cells[static_cast<int>(ResultColumn::QrImage)] = qr;
  });
}

class ExportTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    window_ = MakeWindow(dialogs_);
    folderDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folderDir_->isValid());
    Find<QLineEdit>(*window_, "编辑框_路径")->setText(Folder() + "/");
  }
  void cleanup() { window_.reset(); }
  QString Folder() const { return folderDir_->path(); }

  void workbookLandsInTheFolder() {
    AddRow(window_->Table(), "美食群", "微信群", "");
    Find<QPushButton>(*window_, "按钮_导出")->click();
    QTRY_VERIFY(Find<QPushButton>(*window_, "按钮_导出")->isEnabled());
    QVERIFY(QFileInfo(Folder() + "/data.xls").size() >= 4096);
    QVERIFY(!Find<QStatusBar>(*window_, "状态条1")->currentMessage().startsWith(U("导出失败")));
  }

  void failedExportSaysSoInTheStatusBar() {
    Find<QLineEdit>(*window_, "编辑框_路径")->setText(Folder() + "/missing/folder");
    Find<QPushButton>(*window_, "按钮_导出")->click();
    QTRY_VERIFY(
        Find<QStatusBar>(*window_, "状态条1")->currentMessage().startsWith(U("导出失败：")));
    QVERIFY(Find<QPushButton>(*window_, "按钮_导出")->isEnabled());
  }

  void qrOptionsOpenTheDownloadWindowAndWriteNoWorkbook() {
    Find<QRadioButton>(*window_, "单选框_个人微信")->setChecked(true);
    QString opened;
    QTimer::singleShot(0, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      QVERIFY(modal != nullptr);
      opened = modal->findChild<QPushButton*>(U("按钮_开始下载"))->text();
      modal->close();
    });
    Find<QPushButton>(*window_, "按钮_导出")->click();
    QCOMPARE(opened, U("开始下载"));
    QVERIFY(!QFileInfo::exists(Folder() + "/data.xls"));
  }

  void downloadWindowSavesTheSelectedImages() {
    demo::DemoSite site;
    QVERIFY(site.Start());
    const std::string qr = "http://img2.localhost:" + std::to_string(site.Port()) + "/qr/";
    harvest::ResultTable table;
    AddRow(table, "a/../b", "微信群", qr + "11.gif");
    AddRow(table, "个人", "个人微信号", qr + "12.gif");
    AddRow(table, "群二", "微信群", "http://127.0.0.1:1/13.gif");  // refused
    AddRow(table, "删", "微信群", text::Gbk("文章已经删除"));
    DownloadWindow window(table, QrSelection::Groups, Folder().toStdString());
    window.show();
    QCOMPARE(window.findChild<QProgressBar*>(U("进度条1"))->value(), 0);
    window.findChild<QPushButton*>(U("按钮_开始下载"))->click();
    auto* notice = window.findChild<QLabel*>(U("标签1"));
    QTRY_COMPARE(notice->text(), U("共 2 张二维码：成功 1，失败 1"));
    QTRY_VERIFY(window.findChild<QPushButton*>(U("按钮_开始下载"))->isEnabled());
    QCOMPARE(window.findChild<QProgressBar*>(U("进度条1"))->value(), 2);
    const QStringList saved = QDir(Folder() + "/qr").entryList(QDir::Files);
    QCOMPARE(saved, QStringList{U("1_a_.__b.gif")});
  }

 private:
  std::unique_ptr<QTemporaryDir> folderDir_;  // a fresh one for every test
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<MainWindow> window_;
};

ZV_GUI_TEST(ExportTest);

}  // namespace
}  // namespace zv::app::testing

#include "export_test.moc"
