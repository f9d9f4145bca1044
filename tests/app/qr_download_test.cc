#include "app/qr_download.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "demo-site/demo_site.h"
#include "support/fixtures.h"
#include "text/codepage.h"

namespace zv::app {
namespace {

using harvest::ResultColumn;
using text::Gbk;

void AddRow(harvest::ResultTable& table, const std::string& id, const std::string& name,
            const std::string& source, const std::string& qr) {
  table.AppendRow([&](int, harvest::Row& cells) {
    cells[static_cast<int>(ResultColumn::Id)] = Gbk(id);
    cells[static_cast<int>(ResultColumn::Name)] = Gbk(name);
    cells[static_cast<int>(ResultColumn::Source)] = Gbk(source);
    cells[static_cast<int>(ResultColumn::QrImage)] = Gbk(qr);
  });
}

TEST(SelectQrJobs, OptionsPickTheirRows) {
  harvest::ResultTable table;
  AddRow(table, "1", "a", "微信群", "http://img2.x/1.gif");
  AddRow(table, "2", "b", "个人微信号", "https://img2.x/2.gif");
  AddRow(table, "3", "c", "公众号", "http://img2.x/3.gif");
  AddRow(table, "4", "d", "微信群", "文章已经删除");
  AddRow(table, "5", "e", "微信群", "file:///etc/passwd");
  AddRow(table, "6", "f", "个人微信号", "");
  const std::pair<QrSelection, std::vector<std::string>> cases[] = {
      {QrSelection::All, {"1", "2", "3"}},
      {QrSelection::Groups, {"1"}},
      {QrSelection::Personal, {"2"}},
  };
  for (const auto& [selection, ids] : cases) {
    std::vector<std::string> got;
    for (const QrJob& job : SelectQrJobs(table, selection)) got.push_back(job.id);
    EXPECT_EQ(got, ids) << static_cast<int>(selection);
  }
}

TEST(QrFileName, HostileNamesStayInsideTheFolder) {
  struct Case {
    std::string id, name, url, contentType, expected;
  };
  const Case cases[] = {
      {"1", "美食群", "http://h/q/1.gif", "image/gif", "1_美食群.gif"},
      {"2", "a/b\\c", "http://h/q/2", "image/png; charset=x", "2_a_b_c.png"},
      {"3", "../../etc/passwd", "http://h/q/3.jpeg?x=1", "", "3___.__etc_passwd.jpeg"},
      {"4", "tab\there\nnl", "http://h/q/4", "text/html", "4_tab_here_nl.img"},
      {"../5", "x", "http://h/q/5.GIF", "", "__5_x.gif"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QrFileName({Gbk(c.id), Gbk(c.name), c.url}, c.contentType), c.expected) << c.name;
}

TEST(QrFileName, LongNamesAreCutOnACharacterBoundary) {
  std::string name;
  for (int i = 0; i < 200; ++i) name += "群";
  const std::string file = QrFileName({"7", Gbk(name), "http://h/7.gif"}, "image/gif");
  EXPECT_LE(file.size(), kMaxFileNameBytes);
  EXPECT_TRUE(file.ends_with(".gif"));
  EXPECT_EQ(text::GbkToUtf8(text::Utf8ToGbk(file)), file);  // still valid UTF-8
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(QrDownloader, DownloadsFromTheDemoSiteAndCountsFailures) {
  demo::DemoSite site;
  ASSERT_TRUE(site.Start());
  const std::string qrBase = "http://img2.localhost:" + std::to_string(site.Port()) + "/qr/";
  std::vector<QrJob> jobs = {
      {"1", Gbk("美食/群"), qrBase + "1.gif"},
      {"2", Gbk(".."), qrBase + "2.gif"},
      {"3", Gbk("gone"), "http://127.0.0.1:1/nothing.gif"},  // refused
  };
  const std::string folder = testing::MakeTempFolder() + "/qr";
  std::vector<QrProgress> reports;
  {
    QrDownloader downloader(jobs, folder, [&](const QrProgress& p) { reports.push_back(p); });
    downloader.Start();
    downloader.Wait();
  }
  ASSERT_FALSE(reports.empty());
  EXPECT_TRUE(reports.back().finished);
  EXPECT_EQ(reports.back().succeeded, 2);
  EXPECT_EQ(reports.back().failed, 1);
  EXPECT_EQ(FilesIn(folder), (std::set<std::string>{"1_美食_群.gif", "2__.gif"}));
  std::ifstream gif(folder + "/2__.gif", std::ios::binary);
  std::string magic(6, '\0');
  gif.read(magic.data(), 6);
  EXPECT_EQ(magic, "GIF89a");
}

TEST(QrDownloader, CancelBeforeStartWritesNothing) {
  const std::string folder = testing::MakeTempFolder();
  QrProgress last;
  QrDownloader downloader({{"1", "a", "http://127.0.0.1:1/a.gif"}}, folder,
                          [&](const QrProgress& p) { last = p; });
  downloader.Cancel();
  downloader.Start();
  downloader.Wait();
  EXPECT_TRUE(last.finished);
  EXPECT_EQ(last.succeeded, 0);
  EXPECT_TRUE(FilesIn(folder).empty());
}

}  // namespace
}  // namespace zv::app
