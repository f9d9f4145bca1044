// DownloadWindow: downloads the QR images of the rows the export option
// selects into the "qr" subfolder of the export folder, showing what it does
// and how many images succeeded and failed.
//
// Thread rule: a window-thread object; progress arrives from the download
// threads as queued calls. Closing the window cancels what still runs.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "app/qr_download.h"
#include "harvest/result_table.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zv::app {

class DownloadWindow final : public QDialog {
  Q_OBJECT

 public:
  // `folder` is the export folder as a file-system (UTF-8) path.
  DownloadWindow(const harvest::ResultTable& table, QrSelection selection, std::string folder,
                 QWidget* parent = nullptr);
  ~DownloadWindow() override;

  // The folder the images go to.
  const std::string& TargetFolder() const { return target_; }

 private:
  void StartDownload();
  void ShowProgress(const QrProgress& progress);

  const harvest::ResultTable& table_;
  const QrSelection selection_;
  const std::string target_;
  std::unique_ptr<QrDownloader> downloader_;

  QLabel* activityLabel_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* noticeLabel_ = nullptr;
  QPushButton* startButton_ = nullptr;
};

}  // namespace zv::app
