#include "demo-site/demo_pages.h"

#include <httplib.h>

namespace zv::demo {

namespace {

constexpr std::string_view kSearchTail = "&amp;s=1626844590849882386";
constexpr std::string_view kFixedTail = "&amp;nsid=0&amp;entry=1";

// Collects a page line by line with one kind of line end.
class PageBuilder {
 public:
  explicit PageBuilder(std::string_view lineEnd) : lineEnd_(lineEnd) {}

  PageBuilder& Line(std::string_view text) { return Line(0, text); }
  PageBuilder& Line(int indent, std::string_view text) {
    page_.append(indent, ' ');
    page_ += text;
    page_ += lineEnd_;
    return *this;
  }
  std::string Take() { return std::move(page_); }

 private:
  std::string_view lineEnd_;
  std::string page_;
};

// Text as HTML character data or attribute value; line breaks become
// references too, so a value never breaks the page's line layout.
std::string EscapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\r':
        escaped += "&#13;";
        break;
      case '\n':
        escaped += "&#10;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// A query value, percent-encoded.
std::string QueryValue(std::string_view value) {
  return httplib::detail::encode_query_param(std::string(value));
}

// The name with every occurrence of the keyword inside `open` ... `close`.
std::string HighlightKeyword(std::string_view name, std::string_view keyword, std::string_view open,
                             std::string_view close) {
  if (keyword.empty()) return EscapeHtml(name);
  std::string marked;
  std::size_t at = 0;
  for (std::size_t hit; (hit = name.find(keyword, at)) != std::string_view::npos;
       at = hit + keyword.size()) {
    marked += EscapeHtml(name.substr(at, hit - at));
    marked += open;
    marked += EscapeHtml(keyword);
    marked += close;
  }
  marked += EscapeHtml(name.substr(at));
  return marked;
}

// The name line varies by position as the real directory's does: markers in
// lower or upper case, ideographic spaces before the name, an emoji after it.
std::string NameLine(const ListedEntry& entry, std::string_view keyword, int index) {
  switch (index % 4) {
    case 1:
      return HighlightKeyword(entry.name, keyword, "<EM>", "</EM>");
    case 2:
      return "\u3000\u3000" + HighlightKeyword(entry.name, keyword, "<em>", "</em>");
    case 3:
      return HighlightKeyword(entry.name, keyword, "<em>", "</em>") + "\U0001F525";
    default:
      return HighlightKeyword(entry.name, keyword, "<em>", "</em>");
  }
}

std::string SearchLink(const SearchQuery& query, int pageIndex) {
  std::string link = "/cse/search?q=" + QueryValue(query.keyword);
  link += "&amp;p=" + std::to_string(pageIndex);
  link += kSearchTail;
  if (!query.sti.empty()) link += "&amp;sti=" + QueryValue(query.sti);
  link += kFixedTail;
  return link;
}

void PutSearchHead(PageBuilder& page, const SearchQuery& query) {
  const std::string keyword = EscapeHtml(query.keyword);
  page.Line("<!DOCTYPE html>")
      .Line("<html>")
      .Line("<head>")
      .Line("<meta charset=\"utf-8\">")
      .Line("<title>" + keyword + "_站内搜索_微信群导航</title>")
      .Line("<link rel=\"stylesheet\" href=\"/static/search.css\">")
      .Line("</head>")
      .Line("<body>")
      .Line("<div id=\"head\">")
      .Line(2, "<a class=\"logo\" href=\"/\">微信群导航</a>")
      .Line(2, "<form action=\"/cse/search\" method=\"get\">")
      .Line(4, "<input type=\"text\" name=\"q\" value=\"" + keyword + "\">")
      .Line(4, "<input type=\"hidden\" name=\"s\" value=\"1626844590849882386\">")
      .Line(4, "<input type=\"hidden\" name=\"nsid\" value=\"0\">")
      .Line(4, "<input type=\"hidden\" name=\"entry\" value=\"1\">")
      .Line(4, "<input type=\"submit\" value=\"搜索\">")
      .Line(2, "</form>")
      .Line("</div>");
}

void PutSearchEntry(PageBuilder& page, const ListedEntry& entry, std::string_view keyword,
                    int index, std::string_view siteAuthority) {
  const std::string url = "http://" + std::string(siteAuthority) + DetailPath(entry.id);
  page.Line(2, "<div class=\"result c-container\" id=\"" + std::to_string(index + 1) + "\">")
      .Line(4, "<h3 class=\"c-title\">")
      .Line("<a rpos=\"\" cpos=\"title\" href=\"" + url + "\" target=\"_blank\">")
      .Line(20, NameLine(entry, keyword, index))
      .Line(20, "</a>")
      .Line(4, "</h3>")
      .Line(4, "<div class=\"c-abstract\">扫码即可加入，点击查看二维码与详细介绍</div>")
      .Line(4, "<div class=\"c-showurl\"><span>来自：" + entry.source + "</span></div>")
      .Line(2, "</div>");
}

void PutPager(PageBuilder& page, const SearchQuery& query, bool hasNext) {
  page.Line("<div id=\"page\">");
  if (query.pageIndex > 0)
    page.Line(2, "<a href=\"" + SearchLink(query, query.pageIndex - 1) + "\">&lt;上一页</a>");
  page.Line(2, "<strong>" + std::to_string(query.pageIndex + 1) + "</strong>");
  if (hasNext)
    page.Line(2, "<a href=\"" + SearchLink(query, query.pageIndex + 1) + "\">下一页&gt;</a>");
  page.Line("</div>");
}

void PutFoot(PageBuilder& page) {
  page.Line("<div id=\"foot\">&copy; 微信群导航 演示站点</div>").Line("</body>").Line("</html>");
}

std::string_view ReasonOf(int status) {
  switch (status) {
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return status < 500 ? "Bad Request" : "Server Error";
  }
}

void PutDetailHead(PageBuilder& page, std::string_view title) {
  page.Line("<!DOCTYPE html>")
      .Line("<html>")
      .Line("<head>")
      .Line("<meta charset=\"utf-8\">")
      .Line("<title>" + std::string(title) + "_微信群导航</title>")
      .Line("</head>")
      .Line("<body>")
      .Line(
          "<div class=\"header\"><a href=\"/\"><img src=\"/static/logo.png\" "
          "alt=\"微信群导航\"></a></div>");
}

void PutDetailFields(PageBuilder& page, const EntryDetail& detail) {
  page.Line("<ul class=\"des_info_list\">")
      .Line("<li><span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">" +
            EscapeHtml(detail.description) +
            "</span></li><ul class=\"other-info\"><li style=\"width:185px;\">")
      .Line(40, "<i class=\"wxqicon_1 weixinqunICON\">")
      .Line(40, "</i>行业：<a href=\"/list/?c=hy&amp;t=" + QueryValue(detail.industry) + "\">")
      .Line(44, EscapeHtml(detail.industry))
      .Line(40, "</a>")
      .Line(36, "</li>")
      .Line(36, "<li style=\"width:185px;\"><i class=\"wxqicon_2\"></i>时间：")
      .Line(44, EscapeHtml(detail.time))
      .Line(36, "</li>")
      .Line(36, "<li style=\"width:185px;\"><i class=\"wxqicon_3\"></i>地区：")
      .Line(40, "<a href=\"/list/?c=dq&amp;m=" + QueryValue(detail.region) + "\">")
      .Line(44, EscapeHtml(detail.region))
      .Line(40, "</a>")
      .Line(36, "</li>")
      .Line(36, "<li style=\"width:380px;\"><i class=\"wxqicon_4\"></i>标签：")
      .Line(40, "")
      .Line(40, "");
  for (const std::string& tag : detail.tags)
    page.Line(40, "<a href=\"\">").Line(44, EscapeHtml(tag)).Line(40, "</a>");
  page.Line(36, "</li>")
      .Line(36,
            "<li style=\"width:380px;\"><span class=\"des_info_text1\"><i "
            "class=\"wxqicon_5\"></i>微信号：")
      .Line(40, "</span>")
      .Line(40, "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">")
      .Line(43, EscapeHtml(detail.wechatId))
      .Line(40, "</span>")
      .Line(36, "")
      .Line(32, "</li>")
      .Line(32, "</ul>")
      .Line("</ul>");
}

}  // namespace

std::string DetailPath(std::uint64_t id) { return "/detail/" + std::to_string(id) + ".html"; }

std::string QrImagePath(std::uint64_t id) { return "/qr/" + std::to_string(id) + ".gif"; }

std::string SearchResultPage(const SearchQuery& query, const std::vector<ListedEntry>& entries,
                             int totalEntries, std::string_view siteAuthority) {
  PageBuilder page("\r\n");
  PutSearchHead(page, query);
  page.Line("<div id=\"content_left\">");
  if (entries.empty()) {
    page.Line(2, "<div class=\"nors\">抱歉，没有找到与“" + EscapeHtml(query.keyword) +
                     "”相关的结果。</div>");
  } else {
    page.Line(2,
              "<div class=\"nums\">为您找到相关结果约" + std::to_string(totalEntries) + "个</div>");
  }
  for (std::size_t i = 0; i < entries.size(); ++i)
    PutSearchEntry(page, entries[i], query.keyword, static_cast<int>(i), siteAuthority);
  page.Line("</div>");
  PutPager(page, query, !entries.empty());
  PutFoot(page);
  return page.Take();
}

std::string DetailPage(std::uint64_t id, const EntryDetail& detail, std::string_view qrImageUrl) {
  PageBuilder page("\n");
  PutDetailHead(page, "二维码详情 " + std::to_string(id));
  page.Line("<div class=\"des_info\">")
      .Line(2, "<div class=\"des_info_qrcode\">")
      .Line(4, "<img src=\"" + std::string(qrImageUrl) + "\">")
      .Line(4, "<p>长按识别二维码加入</p>")
      .Line(2, "</div>");
  PutDetailFields(page, detail);
  page.Line("</div>");
  PutFoot(page);
  return page.Take();
}

std::string RemovedEntryPage(std::uint64_t id) {
  PageBuilder page("\n");
  PutDetailHead(page, "二维码已删除 " + std::to_string(id));
  page.Line("<div class=\"des_info\">")
      .Line(2, "<p>该二维码已被发布者删除或已过期。</p>")
      .Line(2, "<p><a href=\"/jinbi/\">获得更多金币秘籍</a></p>")
      .Line("</div>");
  PutFoot(page);
  return page.Take();
}

std::string ErrorPage(int status) {
  const std::string title = std::to_string(status) + " " + std::string(ReasonOf(status));
  PageBuilder page("\n");
  page.Line("<!DOCTYPE html>")
      .Line("<html><head><meta charset=\"utf-8\"><title>" + title + "</title></head>")
      .Line("<body><h1>" + title + "</h1><p>服务器繁忙，请稍后再试。</p></body>")
      .Line("</html>");
  return page.Take();
}

}  // namespace zv::demo
