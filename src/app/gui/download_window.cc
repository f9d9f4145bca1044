#include "app/gui/download_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/gui/control_placement.h"

namespace zv::app {

namespace {

constexpr int kOuterWidth = 400;
constexpr int kOuterHeight = 173;

QString CountsText(const QrProgress& progress) {
  return QStringLiteral("共 %1 张二维码：成功 %2，失败 %3")
      .arg(progress.total)
      .arg(progress.succeeded)
      .arg(progress.failed);
}

}  // namespace

DownloadWindow::DownloadWindow(const harvest::ResultTable& table, QrSelection selection,
                               std::string folder, QWidget* parent)
    : QDialog(parent), table_(table), selection_(selection), target_(folder + "/qr") {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString());
  setModal(true);

  activityLabel_ = Place<QLabel>(this, "透明标签1", 8, 8, 320, 40);
  activityLabel_->setAttribute(Qt::WA_TranslucentBackground);
  activityLabel_->setWordWrap(true);
  progressBar_ = Place<QProgressBar>(this, "进度条1", 8, 56, 384, 24);
  progressBar_->setRange(0, 1);
  progressBar_->setValue(0);
  noticeLabel_ = Place<QLabel>(this, "标签1", 16, 96, 248, 32);
  noticeLabel_->setWordWrap(true);
  noticeLabel_->setText(QStringLiteral("二维码图片将保存到导出文件夹的 qr 子文件夹"));
  startButton_ = Place<QPushButton>(this, "按钮_开始下载", 296, 96, 80, 32);
  startButton_->setText(QStringLiteral("开始下载"));
  connect(startButton_, &QPushButton::clicked, this, &DownloadWindow::StartDownload);

  setFixedSize(kOuterWidth, kOuterHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

DownloadWindow::~DownloadWindow() {
  downloader_.reset();  // cancels what still runs and waits for its threads
}

void DownloadWindow::StartDownload() {
  std::vector<QrJob> jobs = SelectQrJobs(table_, selection_);
  startButton_->setEnabled(false);
  progressBar_->setRange(0, std::max<int>(1, static_cast<int>(jobs.size())));
  progressBar_->setValue(0);
  activityLabel_->setText(QStringLiteral("正在下载二维码图片..."));
  noticeLabel_->setText(CountsText({static_cast<int>(jobs.size()), 0, 0, {}, false}));
  downloader_ =
      std::make_unique<QrDownloader>(std::move(jobs), target_, [this](const QrProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { ShowProgress(progress); }, Qt::QueuedConnection);
      });
  downloader_->Start();
}

void DownloadWindow::ShowProgress(const QrProgress& progress) {
  progressBar_->setValue(progress.succeeded + progress.failed);
  noticeLabel_->setText(CountsText(progress));
  if (progress.finished) {
    activityLabel_->setText(QStringLiteral("下载完成：%1").arg(QString::fromStdString(target_)));
    startButton_->setEnabled(true);
  } else if (!progress.lastFile.empty()) {
    activityLabel_->setText(
        QStringLiteral("已保存 %1").arg(QString::fromStdString(progress.lastFile)));
  }
}

}  // namespace zv::app
