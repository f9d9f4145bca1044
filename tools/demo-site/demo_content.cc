#include "demo-site/demo_content.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <span>
#include <string_view>

namespace zv::demo {

namespace {

// SplitMix64's finaliser: every input bit reaches every output bit.
std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ULL;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
  return value ^ (value >> 31);
}

std::uint64_t HashText(std::string_view text) {
  std::uint64_t hash = 0xCBF29CE484222325ULL;  // FNV-1a
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

// A stream of well-spread numbers derived from one seed: the n-th draw of the
// same seed is always the same.
class Draws {
 public:
  explicit Draws(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() { return state_ = Mix(state_); }
  int Below(int bound) { return static_cast<int>(Next() % static_cast<std::uint64_t>(bound)); }
  template <typename T>
  const T& Pick(std::span<const T> choices) {
    return choices[Below(static_cast<int>(choices.size()))];
  }

 private:
  std::uint64_t state_;
};

constexpr std::uint64_t kFirstId = 100000000;  // ids have nine digits
constexpr std::uint64_t kIdCount = 900000000;

// Salts keep the draws of different properties of one id apart.
enum class Salt : std::uint64_t { Source = 1, Name, Detail, Failure, Qr };

Draws DrawsFor(std::uint64_t id, Salt salt) {
  return Draws(Mix(id) ^ Mix(static_cast<std::uint64_t>(salt)));
}

std::uint64_t EntryId(const SearchQuery& query, int index) {
  const std::string key = query.keyword + '\x1F' + query.sti + '\x1F' +
                          std::to_string(query.pageIndex) + '\x1F' + std::to_string(index);
  return kFirstId + Mix(HashText(key)) % kIdCount;
}

// Name patterns per source; "#" stands for the keyword.
constexpr std::array<std::string_view, 8> kGroupNames = {
    "#交流群",     "#爱好者1群",  "#爱好者2群", "同城#互助群",
    "#学习打卡群", "#资源分享群", "#福利群",    "本地#交流3群",
};
constexpr std::array<std::string_view, 6> kOfficialAccountNames = {
    "#资讯", "#每日精选", "#研究所", "爱#", "#生活指南", "#官方",
};
constexpr std::array<std::string_view, 5> kPersonalAccountNames = {
    "#达人", "#顾问小王", "#小助手", "#客服", "#老师",
};

std::span<const std::string_view> NamePatternsOf(std::string_view source) {
  if (source == kGroupSource) return kGroupNames;
  if (source == kOfficialAccountSource) return kOfficialAccountNames;
  return kPersonalAccountNames;
}

std::string NameOf(std::uint64_t id, const std::string& keyword) {
  const std::string_view pattern =
      DrawsFor(id, Salt::Name).Pick<std::string_view>(NamePatternsOf(SourceOf(id)));
  const std::size_t mark = pattern.find('#');
  std::string name(pattern.substr(0, mark));
  name += keyword;
  name += pattern.substr(mark + 1);
  return name;
}

constexpr std::array<std::string_view, 12> kIndustries = {
    "餐饮美食", "教育培训", "旅游出行", "数码科技", "健康养生", "母婴亲子",
    "汽车交通", "房产家居", "游戏娱乐", "金融理财", "电商购物", "文化艺术",
};
constexpr std::array<std::string_view, 12> kRegions = {
    "北京 北京", "上海 上海", "广东 深圳", "广东 广州", "浙江 杭州", "江苏 南京",
    "四川 成都", "湖北 武汉", "陕西 西安", "福建 厦门", "山东 青岛", "重庆 重庆",
};
constexpr std::array<std::string_view, 12> kTags = {
    "交友", "同城", "资源", "学习", "打卡", "福利", "兼职", "干货", "分享", "互助", "本地", "行业",
};
constexpr std::array<std::string_view, 8> kPhrases = {
    "每天分享最新资讯", "群内禁止广告刷屏", "定期组织线下活动", "有问题大家一起讨论",
    "精选干货持续更新", "新人请先看群公告", "欢迎同行交流经验", "真诚交友拒绝推销",
};

std::string DateOf(Draws& draws) {
  using namespace std::chrono;
  const year_month_day date{sys_days{2023y / January / 1} + days{draws.Below(730)}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string WechatIdOf(Draws& draws) {
  static constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string id = "wxid_";
  for (int i = 0; i < 10; ++i) id += kAlphabet[draws.Below(static_cast<int>(kAlphabet.size()))];
  return id;
}

// One to three different tags.
std::vector<std::string> TagsOf(Draws& draws) {
  constexpr int kStride = 5;  // coprime to the number of tags: no tag comes twice
  const int count = 1 + draws.Below(3);
  const int first = draws.Below(static_cast<int>(kTags.size()));
  std::vector<std::string> tags;
  for (int i = 0; i < count; ++i) tags.emplace_back(kTags[(first + i * kStride) % kTags.size()]);
  return tags;
}

// The three 7x7 finder squares, the timing lines between them, and data
// modules drawn from the id everywhere else.
bool IsDarkModule(int x, int y, Draws& draws) {
  const auto inFinder = [](int fx, int fy) { return fx >= 0 && fx < 7 && fy >= 0 && fy < 7; };
  const int far = kQrModules - 7;
  for (const auto& [ox, oy] : {std::pair{0, 0}, std::pair{far, 0}, std::pair{0, far}}) {
    if (inFinder(x - ox, y - oy)) {
      const int ring = std::min({x - ox, y - oy, 6 - (x - ox), 6 - (y - oy)});
      return ring != 1;
    }
  }
  const bool separator = (x <= 7 && y <= 7) || (x >= far - 1 && y <= 7) || (x <= 7 && y >= far - 1);
  if (separator) return false;
  if (x == 6 || y == 6) return (x + y) % 2 == 0;
  return draws.Below(2) == 1;
}

}  // namespace

std::vector<ListedEntry> ListEntries(const SearchQuery& query, const ListingShape& shape) {
  std::vector<ListedEntry> entries;
  if (query.pageIndex < 0 || query.pageIndex >= shape.pagesPerKeyword) return entries;
  for (int index = 0; index < shape.entriesPerPage; ++index) {
    const std::uint64_t id = EntryId(query, index);
    entries.push_back({id, NameOf(id, query.keyword), SourceOf(id)});
  }
  return entries;
}

int TotalEntries(const ListingShape& shape) { return shape.entriesPerPage * shape.pagesPerKeyword; }

EntryDetail DetailOf(std::uint64_t id) {
  Draws draws = DrawsFor(id, Salt::Detail);
  EntryDetail detail;
  detail.industry = draws.Pick<std::string_view>(kIndustries);
  detail.region = draws.Pick<std::string_view>(kRegions);
  detail.time = DateOf(draws);
  detail.tags = TagsOf(draws);
  detail.wechatId = WechatIdOf(draws);
  detail.description = detail.industry + "爱好者的交流天地，";
  detail.description += draws.Pick<std::string_view>(kPhrases);
  detail.description += "，";
  detail.description += draws.Pick<std::string_view>(kPhrases);
  detail.description += "。编号" + std::to_string(id) + "。";
  return detail;
}

std::string SourceOf(std::uint64_t id) {
  static constexpr std::array<const char*, 3> kSources = {kGroupSource, kOfficialAccountSource,
                                                          kPersonalAccountSource};
  return DrawsFor(id, Salt::Source).Pick<const char*>(kSources);
}

bool IsRemovedEntry(std::uint64_t id) { return id % 7 == 0; }

bool IsFailingEntry(std::uint64_t id, double failRate) {
  const auto perMille = static_cast<double>(DrawsFor(id, Salt::Failure).Below(1000));
  return perMille < failRate * 1000;
}

Bitmap QrBitmap(std::uint64_t id) {
  constexpr int kSide = (kQrModules + 2 * kQrQuietModules) * kQrModulePixels;
  Bitmap bitmap{kSide, kSide, std::vector<std::uint8_t>(kSide * kSide, 0)};
  Draws draws = DrawsFor(id, Salt::Qr);
  for (int my = 0; my < kQrModules; ++my) {
    for (int mx = 0; mx < kQrModules; ++mx) {
      if (!IsDarkModule(mx, my, draws)) continue;
      const int left = (mx + kQrQuietModules) * kQrModulePixels;
      const int top = (my + kQrQuietModules) * kQrModulePixels;
      for (int y = top; y < top + kQrModulePixels; ++y)
        for (int x = left; x < left + kQrModulePixels; ++x) bitmap.pixels[y * kSide + x] = 1;
    }
  }
  return bitmap;
}

}  // namespace zv::demo
