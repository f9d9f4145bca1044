// The pieces both front ends share: site addresses, keyword files, the
// single-instance guard, and the command line of zorvane-harvest.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/keyword_file.h"
#include "app/single_instance.h"
#include "app/site_address.h"
#include "demo-site/demo_site.h"
#include "support/fixtures.h"

namespace zv::app {
namespace {

TEST(IsSiteUrl, Forms) {
  const std::pair<const char*, bool> cases[] = {
      {"http://127.0.0.1:8731", true},
      {"https://example.test", true},
      {"http://a-b.c_d:1", true},
      {"http://h:65535", true},
      {"ftp://h", false},
      {"http://", false},
      {"http://h:0", false},
      {"http://h:65536", false},
      {"http://h:80/path", false},
      {"http://u@h", false},
      {"http://h :80", false},
      {"h:80", false},
      {"http://h:", false},
  };
  for (const auto& [url, valid] : cases) EXPECT_EQ(IsSiteUrl(url), valid) << url;
}

std::string WriteTemp(const std::string& bytes) {
  const std::string path = testing::MakeTempFolder() + "/keywords.txt";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(ReadKeywordFile, BytesUpToTheFirstZero) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {std::string("\0abc", 4), ""},
      {std::string("a\r\nb\0c", 6), "a\r\nb"},
      {"\xC3\xC0\xCA\xB3\r\n", "\xC3\xC0\xCA\xB3\r\n"},  // GBK taken unchanged
      {std::string("\xFF\xFE"
                   "a\0b\0",
                   6),
       std::string("\xFF\xFE"
                   "a")},  // UTF-16 cut
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(ReadKeywordFile(WriteTemp(bytes)), text);
  EXPECT_EQ(ReadKeywordFile("/nonexistent/file.txt"), std::nullopt);
  EXPECT_EQ(ReadKeywordFile(testing::MakeTempFolder()), std::nullopt);  // a folder
}

TEST(GuardSingleInstance, SecondHolderIsTurnedAway) {
  setenv("XDG_RUNTIME_DIR", testing::MakeTempFolder().c_str(), 1);
  EXPECT_TRUE(AcquireInstanceMark("guard-test"));
  const pid_t child = fork();
  if (child == 0) {
    GuardSingleInstance("guard-test");  // ends the child with status 0
    std::_Exit(7);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(AcquireInstanceMark("another-name"));
}

struct CliRun {
  int status;
  std::string out;
};

CliRun RunCli(const std::string& args) {
  const std::string command =
      std::string(ZV_BINARY_DIR) + "/src/app/cli/zorvane-harvest " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = pclose(pipe);
  return {WEXITSTATUS(status), out};
}

TEST(HarvestCli, BadArgumentsExitWithTwoAndOneLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"--bogus", "unknown option --bogus"},
      {"--keyword a --site ftp://h", "--site must be http(s)://host[:port]"},
      {"--keyword a --site http://h/path", "--site must be"},
      {"--keywords-file /nonexistent.txt", "cannot read keywords file"},
      {"--keyword a --filter year", "--filter must be month, week, day or all"},
      {"--keyword", "--keyword needs a value"},
      {"", "no keywords"},
  };
  for (const auto& [args, message] : cases) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.out.find(message), std::string::npos) << args << ": " << run.out;
  }
}

TEST(HarvestCli, WholeRunPrintsStatusAndTable) {
  demo::DemoSiteOptions options;
  options.entriesPerPage = 3;
  demo::DemoSite site(options);
  ASSERT_TRUE(site.Start());
  const std::string file = WriteTemp("\xC3\xC0\xCA\xB3\r\n");  // 美食 in GBK
  const std::string out = testing::MakeTempFolder();
  const CliRun run = RunCli("--site " + site.BaseUrl() + " --keywords-file " + file +
                            " --keyword 旅游 --pages 2 --filter all --threads 2 --tsv --out " +
                            out + " --qr " + out + "/qr");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("正在采集关键词：美食1/2   第1页"), std::string::npos);
  EXPECT_NE(run.out.find("正在采集关键词：旅游2/2   第2页"), std::string::npos);
  EXPECT_NE(run.out.find("采集完成！共计采集结果：12条"), std::string::npos);
  EXPECT_NE(run.out.find("ID\t群/公众号名称\tURL\t来自\t简介"), std::string::npos);
  EXPECT_NE(run.out.find("\n12\t"), std::string::npos);
  EXPECT_EQ(site.SearchRequests(), 4);
  std::ifstream workbook(out + "/data.xls", std::ios::binary);
  std::string signature(8, '\0');
  workbook.read(signature.data(), 8);
  EXPECT_EQ(signature, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");  // a compound file
  EXPECT_NE(run.out.find(" saved, 0 failed"), std::string::npos) << run.out;
}

TEST(HarvestCli, ExportToAMissingFolderFails) {
  demo::DemoSite site;
  ASSERT_TRUE(site.Start());
  const CliRun run = RunCli("--site " + site.BaseUrl() + " --keyword a --out /nonexistent/folder");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("export to /nonexistent/folder failed"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace zv::app
