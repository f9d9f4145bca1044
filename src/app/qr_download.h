// Downloading the QR images of the result table into a folder.
//
// Which rows: every row whose QrImage is an http(s) URL, narrowed by the
// export option. Each file is named from the row's Id and Name, made safe for
// the file system, with an extension from the content type or the URL.
// Failures are counted, never fatal.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "harvest/result_table.h"
#include "web/cancel_token.h"

namespace zv::app {

enum class QrSelection {
  All,       // "全部二维码"
  Groups,    // "微信群二维码": Source contains "群"
  Personal,  // "个人二维码": Source contains "个人"
};

struct QrJob {
  text::Text id;    // GBK, as in the table
  text::Text name;  // GBK
  std::string url;
};

// The rows to download, in table order. Reads each cell once.
std::vector<QrJob> SelectQrJobs(const harvest::ResultTable& table, QrSelection selection);

// A UTF-8 file name "<id>_<name>.<ext>" with no path separators, no "..", no
// control characters, at most kMaxFileNameBytes bytes.
inline constexpr std::size_t kMaxFileNameBytes = 120;
std::string QrFileName(const QrJob& job, const std::string& contentType);

struct QrProgress {
  int total = 0;
  int succeeded = 0;
  int failed = 0;
  std::string lastFile;  // UTF-8 name of the file finished last
  bool finished = false;
};

// Runs the downloads on a few threads of its own. The progress callback is
// called from those threads, one call at a time, after each job and once with
// finished set. Cancel() (any thread) stops further jobs and aborts the ones
// in flight; the destructor cancels and waits.
class QrDownloader {
 public:
  using ProgressCallback = std::function<void(const QrProgress&)>;
  static constexpr int kParallelDownloads = 4;

  QrDownloader(std::vector<QrJob> jobs, std::string folder, ProgressCallback onProgress);
  ~QrDownloader();
  QrDownloader(const QrDownloader&) = delete;
  QrDownloader& operator=(const QrDownloader&) = delete;

  void Start();
  void Cancel();
  // Blocks until every download thread has ended. Not for a GUI thread.
  void Wait();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace zv::app
