#include "demo-site/demo_site.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <latch>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "demo-site/demo_content.h"
#include "demo-site/demo_pages.h"

namespace zv::demo {
namespace {

httplib::Result Get(const DemoSite& site, const std::string& path, httplib::Headers headers = {}) {
  httplib::Client client("127.0.0.1", site.Port());
  return client.Get(path, headers);
}

int Count(std::string_view text, std::string_view what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size()))
    ++count;
  return count;
}

// The ids of the detail links of a result page, in page order.
std::vector<std::uint64_t> ListedIds(std::string_view page) {
  std::vector<std::uint64_t> ids;
  constexpr std::string_view kLink = "/detail/";
  for (std::size_t at = page.find(kLink); at != std::string_view::npos;
       at = page.find(kLink, at + 1))
    ids.push_back(std::stoull(std::string(page.substr(at + kLink.size(), 9))));
  return ids;
}

std::vector<std::uint64_t> IdsOf(const std::vector<ListedEntry>& entries) {
  std::vector<std::uint64_t> ids;
  for (const ListedEntry& entry : entries) ids.push_back(entry.id);
  return ids;
}

constexpr const char* kBeauty = "%E7%BE%8E%E9%A3%9F";  // 美食
constexpr const char* kTail = "&s=1626844590849882386&nsid=0&entry=1";

TEST(DemoSiteSearch, ListsEntriesOnThePagesThatHaveAny) {
  DemoSite site({.entriesPerPage = 5, .pagesPerKeyword = 3});
  ASSERT_TRUE(site.Start());
  struct Case {
    std::string query;
    int entries;
  };
  const std::vector<Case> cases = {
      {std::string("q=") + kBeauty + "&p=0" + kTail, 5},
      {std::string("q=") + kBeauty + "&p=2&sti=1440" + kTail, 5},
      {std::string("q=") + kBeauty + "&p=3" + kTail, 0},
      {std::string("q=") + kBeauty + "&p=999" + kTail, 0},
      {std::string("q=") + kBeauty + "&p=-1" + kTail, 0},
      {std::string("q=") + kBeauty + kTail, 5},           // no page: the first
      {std::string("q=") + kBeauty + "&p=x" + kTail, 5},  // a page that is no number: the first
      {std::string("q=&p=0") + kTail, 5},                 // an empty keyword still lists
      {"", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const auto response = Get(site, "/cse/search?" + c.query);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(Count(response->body, "cpos=\"title\""), c.entries);
    EXPECT_EQ(Count(response->body, "<span>来自："), c.entries);
    EXPECT_EQ(Count(response->body, "没有找到"), c.entries == 0 ? 1 : 0);
    EXPECT_TRUE(response->body.ends_with("</html>\r\n"));
    EXPECT_EQ(Count(response->body, "\n"), Count(response->body, "\r\n"));
  }
  EXPECT_EQ(site.SearchRequests(), static_cast<int>(cases.size()));
}

TEST(DemoSiteSearch, ListsTheEntriesOfItsQueryTheSameEachTime) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  struct Case {
    std::string query;
    SearchQuery expected;
  };
  const std::vector<Case> cases = {
      {std::string("q=") + kBeauty + "&p=0" + kTail, {"美食", 0, ""}},
      {std::string("q=") + kBeauty + "&p=1" + kTail, {"美食", 1, ""}},
      {std::string("q=") + kBeauty + "&p=0&s=1626844590849882386&sti=1440&nsid=0&entry=1",
       {"美食", 0, "1440"}},
      {std::string("q=") + kBeauty + "&p=0&s=1626844590849882386&sti=10080&nsid=0&entry=1",
       {"美食", 0, "10080"}},
      {std::string("q=") + kBeauty + "&p=0&s=1626844590849882386&sti=43200&nsid=0&entry=1",
       {"美食", 0, "43200"}},
      {"q=%E6%97%85%E6%B8%B8%20Go&p=0" + std::string(kTail), {"旅游 Go", 0, ""}},
      {"q=&p=0" + std::string(kTail), {"", 0, ""}},
  };
  std::vector<std::uint64_t> seen;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const auto first = Get(site, "/cse/search?" + c.query);
    const auto again = Get(site, "/cse/search?" + c.query);
    ASSERT_TRUE(first && again);
    EXPECT_EQ(first->body, again->body);
    const std::vector<std::uint64_t> ids = ListedIds(first->body);
    EXPECT_EQ(ids, IdsOf(ListEntries(c.expected, ListingShape{})));
    for (const std::uint64_t id : ids) {
      EXPECT_EQ(std::count(seen.begin(), seen.end(), id), 0) << id << " listed twice";
      seen.push_back(id);
    }
  }
}

TEST(DemoSiteSearch, LinksDetailPagesAtTheAddressTheClientUsed) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  const std::string path = std::string("/cse/search?q=") + kBeauty + "&p=0" + kTail;
  struct Case {
    httplib::Headers headers;
    std::string linkStart;
  };
  const std::vector<Case> cases = {
      {{}, "href=\"" + site.BaseUrl() + "/detail/"},
      {{{"Host", "directory.test:8080"}}, "href=\"http://directory.test:8080/detail/"},
      {{{"Host", "localhost"}}, "href=\"http://localhost/detail/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.linkStart);
    const auto response = Get(site, path, c.headers);
    ASSERT_TRUE(response);
    EXPECT_EQ(Count(response->body, c.linkStart), 20);
  }
}

TEST(DemoSiteDetail, RemovedAndFailingEntriesFollowFromTheId) {
  constexpr std::uint64_t kFirst = 100000000;
  constexpr int kIds = 70;
  for (const double failRate : {0.0, 0.3, 1.0}) {
    SCOPED_TRACE(failRate);
    DemoSite site({.failRate = failRate});
    ASSERT_TRUE(site.Start());
    int failed = 0;
    int removed = 0;
    for (std::uint64_t id = kFirst; id < kFirst + kIds; ++id) {
      SCOPED_TRACE(id);
      const auto response = Get(site, DetailPath(id));
      ASSERT_TRUE(response);
      const std::string& page = response->body;
      if (IsFailingEntry(id, failRate)) {
        ++failed;
        EXPECT_EQ(response->status, 500);
        EXPECT_EQ(Count(page, "500 Internal Server Error"), 2);
      } else if (IsRemovedEntry(id)) {
        ++removed;
        EXPECT_EQ(response->status, 200);
        EXPECT_EQ(Count(page, "获得更多金币秘籍"), 1);
        EXPECT_EQ(Count(page, "微信号："), 0);
      } else {
        EXPECT_EQ(response->status, 200);
        EXPECT_EQ(Count(page, "获得更多金币秘籍"), 0);
        EXPECT_EQ(Count(page, "<img src=\"http://img2.localhost:" + std::to_string(site.Port()) +
                                  QrImagePath(id) + "\">"),
                  1);
        EXPECT_EQ(Count(page, "\r"), 0);
      }
    }
    EXPECT_EQ(site.DetailRequests(), kIds);
    if (failRate == 0) {
      EXPECT_EQ(failed, 0);
      EXPECT_EQ(removed, kIds / 7);
    } else if (failRate == 1) {
      EXPECT_EQ(failed, kIds);
    } else {
      EXPECT_GT(failed, 0);
      EXPECT_LT(failed, kIds);
    }
  }
}

TEST(DemoSiteDetail, FailingIdsSpreadEvenlyAtTheRate) {
  constexpr int kIds = 10000;
  for (const double failRate : {0.05, 0.3, 0.5}) {
    int failing = 0;
    for (std::uint64_t id = 200000000; id < 200000000 + kIds; ++id)
      failing += IsFailingEntry(id, failRate) ? 1 : 0;
    EXPECT_NEAR(failing, failRate * kIds, kIds * 0.02) << failRate;
  }
}

TEST(DemoSiteDetail, UnknownPathsAnswerNotFound) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  for (const char* path :
       {"/detail/abc.html", "/detail/123.htm", "/detail/99999999999999999999999.html", "/qr/x.gif",
        "/", "/cse/other"}) {
    SCOPED_TRACE(path);
    const auto response = Get(site, path);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 404);
    EXPECT_EQ(Count(response->body, "404 Not Found"), 2);
  }
}

TEST(DemoSiteStats, CountsRequestsUntilReset) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  for (int i = 0; i < 3; ++i) Get(site, std::string("/cse/search?q=") + kBeauty + kTail);
  for (const std::uint64_t id : {100000001ULL, 100000002ULL}) Get(site, DetailPath(id));
  Get(site, QrImagePath(100000001));
  EXPECT_EQ(site.SearchRequests(), 3);
  EXPECT_EQ(site.DetailRequests(), 2);
  EXPECT_EQ(site.QrRequests(), 1);
  EXPECT_EQ(site.PeakConcurrentDetails(), 1);

  site.ResetStats();
  EXPECT_EQ(site.SearchRequests(), 0);
  EXPECT_EQ(site.DetailRequests(), 0);
  EXPECT_EQ(site.QrRequests(), 0);
  EXPECT_EQ(site.PeakConcurrentDetails(), 0);
}

// With a latency far above the time it takes to start the clients, every
// request is still being served when the last one arrives.
TEST(DemoSiteStats, PeakCountsTheDetailRequestsServedAtOnce) {
  constexpr int kClients = 6;
  DemoSite site({.latencyMs = 1500});
  ASSERT_TRUE(site.Start());
  std::latch start(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&site, &start, i] {
      start.arrive_and_wait();
      Get(site, DetailPath(100000001 + i));
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(site.DetailRequests(), kClients);
  EXPECT_EQ(site.PeakConcurrentDetails(), kClients);
}

TEST(DemoSite, StartsOnceStopsAndStartsAgain) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  EXPECT_GT(site.Port(), 0);
  EXPECT_EQ(site.BaseUrl(), "http://127.0.0.1:" + std::to_string(site.Port()));
  EXPECT_FALSE(site.Start());

  DemoSite rival({.port = site.Port()});
  EXPECT_FALSE(rival.Start());

  // A kept-alive connection does not hold Stop up for good.
  httplib::Client client("127.0.0.1", site.Port());
  client.set_keep_alive(true);
  ASSERT_TRUE(client.Get(DetailPath(100000001)));
  site.Stop();
  site.Stop();
  EXPECT_FALSE(Get(site, DetailPath(100000001)));

  ASSERT_TRUE(site.Start());
  const auto response = Get(site, DetailPath(100000001));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
}

}  // namespace
}  // namespace zv::demo
