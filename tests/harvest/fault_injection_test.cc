// Faults of the network and of the pages, in the search phase and in the
// detail phase: whatever the server does, a run completes, every dispatched
// row ends "采集完成", and no fetch waits beyond its time-outs.
#include <gtest/gtest.h>

#include "harvest/detail_worker.h"
#include "harvest/harvest_engine.h"
#include "support/test_server.h"
#include "text/codepage.h"

namespace zv::harvest {
namespace {

using namespace std::chrono_literals;
using testing::RawReply;
using testing::Reply;
using testing::TestServer;
using text::Gbk;
using text::GbkToUtf8;

class FixedSettings : public RunSettings {
 public:
  explicit FixedSettings(std::string cap = "20") : cap_(std::move(cap)) {}
  Text KeywordsText() const override { return "fault"; }
  Text PagesText() const override { return "1"; }
  TimeFilter Filter() const override { return TimeFilter::AllTime; }
  Text WorkerCapText() const override { return cap_; }

 private:
  std::string cap_;
};

class LastStatusView : public RunView {
 public:
  void ShowStatus(const RunTokenPtr&, const Text& text) override {
    std::lock_guard lock(mutex_);
    last_ = GbkToUtf8(text);
  }
  void SetCollectEnabled(const RunTokenPtr&, bool) override {}
  void ShowNotice(const Text&, const Text&) override {}
  std::string Last() const {
    std::lock_guard lock(mutex_);
    return last_;
  }

 private:
  mutable std::mutex mutex_;
  std::string last_;
};

// A search page listing one entry per URL, in the layout the harvest reads.
std::string ListingOf(const std::vector<std::string>& urls) {
  std::string page = "<html><body>\r\n";
  for (size_t i = 0; i < urls.size(); ++i) {
    page += "<a rpos=\"\" cpos=\"title\" href=\"" + urls[i] + "\" target=\"_blank\">\r\n";
    page += "<em>条目</em>" + std::to_string(i + 1) + "\r\n</a>\r\n<span>来自：微信群</span>\r\n";
  }
  return page + "</body></html>\r\n";
}

// A detail page whose QR field alone fills, from `marker`.
std::string DetailWithQr(const std::string& marker) {
  return "<html>\n<img src=\"http://img2.test/" + marker + ".gif\">\n</html>\n";
}

std::string HeaderValueOfSize(size_t bytes) { return std::string(bytes, 'h'); }

struct Fault {
  const char* name;
  std::function<void(TestServer&, const std::string& path)> install;
  // What the page's QR field reads when the fault still lets a page through
  // (empty: the fetch yields nothing).
  std::string qrWhenHarvested;
};

std::vector<Fault> Faults() {
  const std::string bigChunk(1 << 20, 'x');
  return {
      {"connection refused", nullptr, ""},
      {"reset mid-body",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html>", 0ms}},
                              RawReply::End::Reset});
       },
       ""},
      {"404 with a body",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, Reply{404, {}, DetailWithQr("notfound"), 0ms});
       },
       "http://img2.test/notfound.gif"},
      {"500 with a body",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, Reply{500, {}, DetailWithQr("error"), 0ms});
       },
       "http://img2.test/error.gif"},
      {"redirect loop",
       [](TestServer& s, const std::string& p) { s.Answer(p, testing::RedirectTo(p)); }, ""},
      {"redirect to file:",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, testing::RedirectTo("file:///etc/passwd"));
       },
       ""},
      {"redirect to gopher:",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, testing::RedirectTo("gopher://127.0.0.1:1/"));
       },
       ""},
      {"invalid UTF-8",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, Reply{200, {}, "\xFF\xFE\xC0" + DetailWithQr("bad\xE9utf"), 0ms});
       },
       "http://img2.test/bad?utf.gif"},
      {"zero byte before the field",
       [](TestServer& s, const std::string& p) {
         s.Answer(p, Reply{200, {}, std::string("<html>\0", 7) + DetailWithQr("hidden"), 0ms});
       },
       ""},
      {"raw headers over 5000 bytes",
       [](TestServer& s, const std::string& p) {
         s.Answer(p,
                  Reply{200, {{"X-Big", HeaderValueOfSize(6000)}}, DetailWithQr("bighead"), 0ms});
       },
       "http://img2.test/bighead.gif"},
      {"body over 64 MiB",
       [bigChunk](TestServer& s, const std::string& p) {
         std::string body = DetailWithQr("huge");
         while (body.size() <= (64u << 20)) body += bigChunk;
         s.Answer(p, Reply{200, {}, std::move(body), 0ms});
       },
       ""},
      {"slow drip, a byte a second",
       [](TestServer& s, const std::string& p) {
         const std::string page = DetailWithQr("drip");
         RawReply reply;
         reply.pieces.push_back({"HTTP/1.1 200 OK\r\nContent-Length: " +
                                     std::to_string(page.size() + 3) + "\r\n\r\n" + page,
                                 0ms});
         for (int i = 0; i < 3; ++i) reply.pieces.push_back({" ", 1000ms});
         s.Answer(p, std::move(reply));
       },
       "http://img2.test/drip.gif"},
      {"body that stalls",
       [](TestServer& s, const std::string& p) {
         RawReply reply{{{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<html>", 0ms}},
                        RawReply::End::Stall};
         reply.stallFor = 60s;
         s.Answer(p, std::move(reply));
       },
       ""},
  };
}

std::string FaultUrl(TestServer& server, const Fault& fault, const std::string& path) {
  if (!fault.install) return "http://127.0.0.1:1" + path;
  fault.install(server, path);
  return server.Url(path);
}

EngineConfig ConfigFor(const std::string& site) {
  EngineConfig config{site};
  config.restrictToFirstProcessor = false;
  return config;
}

TEST(FaultInjection, DetailPhaseCompletesEveryRow) {
  TestServer server;
  const std::vector<Fault> faults = Faults();
  std::vector<std::string> urls;
  for (size_t i = 0; i < faults.size(); ++i)
    urls.push_back(FaultUrl(server, faults[i], "/fault/" + std::to_string(i)));
  server.Answer("/cse/search", Reply{200, {}, ListingOf(urls), 0ms});

  ResultTable table;
  FixedSettings settings;
  LastStatusView view;
  {
    HarvestEngine engine(table, settings, view, ConfigFor(server.Url("")));
    engine.Collect();
    engine.WaitIdle();
  }
  ASSERT_EQ(table.RowCount(), static_cast<int>(faults.size()));
  EXPECT_EQ(view.Last(), "采集完成！共计采集结果：" + std::to_string(faults.size()) + "条");
  for (size_t i = 0; i < faults.size(); ++i) {
    const int row = static_cast<int>(i);
    EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::Status)), "采集完成") << faults[i].name;
    EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::QrImage)), faults[i].qrWhenHarvested)
        << faults[i].name;
    EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::WechatId)), "无") << faults[i].name;
  }
}

TEST(FaultInjection, SearchPhaseFaultsAddNoRowAndTheRunCompletes) {
  for (const Fault& fault : Faults()) {
    TestServer server;
    FaultUrl(server, fault, "/cse/search");
    const std::string base = fault.install ? server.Url("") : "http://127.0.0.1:1";
    ResultTable table;
    FixedSettings settings;
    LastStatusView view;
    {
      HarvestEngine engine(table, settings, view, ConfigFor(base));
      engine.Collect();
      engine.WaitIdle();
    }
    EXPECT_EQ(table.RowCount(), 0) << fault.name;
    EXPECT_EQ(view.Last(), "采集完成！共计采集结果：0条") << fault.name;
  }
}

}  // namespace
}  // namespace zv::harvest
