#include "app/qr_download.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "text/codepage.h"
#include "web/inet_http_fetch.h"

namespace zv::app {

namespace {

using harvest::ResultColumn;

bool IsWebUrl(const std::string& url) {
  const std::string lower = text::ToLowerAscii(text::Left(url, 8));
  return lower.starts_with("http://") || lower.starts_with("https://");
}

bool Selected(const text::Text& source, QrSelection selection) {
  static const text::Text group = text::Gbk("群");
  static const text::Text personal = text::Gbk("个人");
  switch (selection) {
    case QrSelection::Groups:
      return text::Contains(source, group);
    case QrSelection::Personal:
      return text::Contains(source, personal);
    case QrSelection::All:
      break;
  }
  return true;
}

// Replaces separators, control characters and dots that could make ".." with
// "_", and cuts to `limit` bytes without splitting a UTF-8 character.
std::string SafePart(const std::string& utf8, std::size_t limit) {
  std::string safe;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unsafe = byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' ||
                        (c == '.' && !safe.empty() && safe.back() == '.');
    safe += unsafe ? '_' : c;
  }
  while (!safe.empty() && (safe.front() == '.' || safe.front() == ' ')) safe.erase(0, 1);
  if (safe.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) --cut;
    safe.resize(cut);
  }
  return safe;
}

std::string ExtensionOf(const std::string& contentType, const std::string& url) {
  static const std::map<std::string, std::string> kTypes = {
      {"image/gif", "gif"},   {"image/png", "png"}, {"image/jpeg", "jpg"},
      {"image/webp", "webp"}, {"image/bmp", "bmp"},
  };
  const std::string type = text::ToLowerAscii(contentType.substr(0, contentType.find(';')));
  if (const auto found = kTypes.find(text::TrimSpaces(type)); found != kTypes.end())
    return found->second;
  std::string path = url.substr(0, url.find_first_of("?#"));
  path = path.substr(path.rfind('/') + 1);
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos) {
    const std::string ext = text::ToLowerAscii(path.substr(dot + 1));
    if (!ext.empty() && ext.size() <= 5 &&
        std::all_of(ext.begin(), ext.end(), [](unsigned char c) { return std::isalnum(c); }))
      return ext;
  }
  return "img";
}

std::string ContentTypeOf(const text::Text& rawHeaders) {
  for (const text::Text& line : text::Split(rawHeaders, "\r\n")) {
    if (text::Find(line, "content-type:", 1, true) == 1) return text::TrimSpaces(line.substr(13));
  }
  return {};
}

bool WriteFile(const std::string& path, const text::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

}  // namespace

std::vector<QrJob> SelectQrJobs(const harvest::ResultTable& table, QrSelection selection) {
  std::vector<QrJob> jobs;
  const int rows = table.RowCount();
  for (int r = 0; r < rows; ++r) {
    std::string url = table.GetCell(r, ResultColumn::QrImage);
    if (!IsWebUrl(url) || !Selected(table.GetCell(r, ResultColumn::Source), selection)) continue;
    jobs.push_back(
        {table.GetCell(r, ResultColumn::Id), table.GetCell(r, ResultColumn::Name), std::move(url)});
  }
  return jobs;
}

std::string QrFileName(const QrJob& job, const std::string& contentType) {
  const std::string extension = "." + ExtensionOf(contentType, job.url);
  std::string stem = SafePart(text::GbkToUtf8(job.id), 20) + "_" +
                     SafePart(text::GbkToUtf8(job.name), kMaxFileNameBytes);
  stem = SafePart(stem, kMaxFileNameBytes - extension.size());
  return stem + extension;
}

struct QrDownloader::State {
  std::vector<QrJob> jobs;
  std::string folder;
  ProgressCallback onProgress;
  web::CancelToken cancel;

  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  QrProgress progress;     // guarded by mutex
  int runningThreads = 0;  // guarded by mutex
  std::vector<std::thread> threads;

  // Downloads one job; true when its file was written.
  bool Download(const QrJob& job) {
    web::FetchOptions options;
    options.cancel = &cancel;
    const text::Bytes body = web::InetHttpFetch(job.url, options);
    if (body.empty() || cancel.IsCancelled()) return false;
    const std::string name = QrFileName(job, ContentTypeOf(options.responseHeaders));
    if (!WriteFile(folder + "/" + name, body)) return false;
    std::lock_guard lock(mutex);
    progress.lastFile = name;
    return true;
  }

  void Report(bool succeeded) {
    std::lock_guard lock(mutex);
    (succeeded ? progress.succeeded : progress.failed) += 1;
    if (onProgress) onProgress(progress);
  }

  void RunJobs() {
    for (std::size_t i = next++; i < jobs.size() && !cancel.IsCancelled(); i = next++)
      Report(Download(jobs[i]));
    std::lock_guard lock(mutex);
    if (--runningThreads == 0) {
      progress.finished = true;
      if (onProgress) onProgress(progress);
    }
  }
};

QrDownloader::QrDownloader(std::vector<QrJob> jobs, std::string folder, ProgressCallback onProgress)
    : state_(std::make_shared<State>()) {
  state_->jobs = std::move(jobs);
  state_->folder = std::move(folder);
  state_->onProgress = std::move(onProgress);
  state_->progress.total = static_cast<int>(state_->jobs.size());
}

QrDownloader::~QrDownloader() {
  Cancel();
  Wait();
}

void QrDownloader::Start() {
  mkdir(state_->folder.c_str(), 0755);  // an existing folder is fine
  const int count = std::max(1, std::min<int>(kParallelDownloads, state_->progress.total));
  {
    std::lock_guard lock(state_->mutex);
    state_->runningThreads = count;
  }
  for (int i = 0; i < count; ++i)
    state_->threads.emplace_back([state = state_] { state->RunJobs(); });
}

void QrDownloader::Cancel() { state_->cancel.Cancel(); }

void QrDownloader::Wait() {
  for (std::thread& thread : state_->threads)
    if (thread.joinable()) thread.join();
  state_->threads.clear();
}

}  // namespace zv::app
