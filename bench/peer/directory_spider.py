"""The Scrapy peer of zorvane-harvest, for side-by-side benchmarks.

    /usr/bin/python3 bench/peer/directory_spider.py --site URL --keyword K [--keyword K]...
        --pages N --concurrency N --out ROWS.jsonl

Runs the same two phases as zorvane-harvest with the same patterns: the
search pages one at a time, in keyword and page order (each request is issued
from the callback of the one before), then, once the last search page is in,
every row's detail page with at most --concurrency requests at once. Writes
one JSON object per row (its 1-based id, name, URL, source and the seven
detail fields) to --out, in the order the detail pages complete.

Pages are read as zorvane-harvest reads them: decoded from UTF-8, every
character without a GBK form turned into "?", cut at the first NUL.
"""

import argparse
import re

import scrapy
from scrapy.crawler import CrawlerProcess

SEARCH_TAIL = "&s=1626844590849882386&sti=1440&nsid=0&entry=1"
PATTERN_FLAGS = re.IGNORECASE | re.MULTILINE

TITLE_PATTERN = re.compile(
    '<a rpos="" cpos="title" href="(.*?)" target="_blank">\r\n(.*?)\r\n.*?</a>\r',
    PATTERN_FLAGS)
SOURCE_PATTERN = re.compile("<span>来自：(.*?)</span>", PATTERN_FLAGS)


def spaces(count):
    return " " * count


# The detail cells in the order they are filled, each with its pattern.
DETAIL_FIELDS = [
    ("description",
     '<span class="des_info_text2" style="width:380px; margin-left:48px;">.*?([\\s\\S]*?).*?'
     '<i class="wxqicon_1 weixinqunICON">\n'),
    ("industry", '/.*?&amp;t=.*?">\n' + spaces(44) + "(.*?)\n" + spaces(40) + "</a>"),
    ("time", "时间：\n" + spaces(44) + "(.*?)\n" + spaces(36) + "</li>\n"),
    ("region", "地区：\n" + spaces(40) + '<a href=".*?&amp;m=.*?">\n' + spaces(44) + "(.*?)\n"
     + spaces(40) + "</a>\n"),
    ("tags", "标签：\n" + spaces(40) + "\n" + spaces(40) + "\n" + spaces(40) + '<a href="">\n'
     + spaces(44) + "(.*?)\n" + spaces(40) + "</a>"),
    ("wechat_id", "微信号：\n" + spaces(40) + "</span>\n" + spaces(40)
     + '<span class="des_info_text2" style="width:340px;color:#8ec31f;">\n' + spaces(43)
     + "(.*?)\n" + spaces(40) + "</span>\n" + spaces(36) + "\n" + spaces(32) + "</li>"),
    ("qr_image", '<img src="(http://img2.*?)">'),
]
DETAIL_PATTERNS = [(name, re.compile(pattern, PATTERN_FLAGS)) for name, pattern in DETAIL_FIELDS]

REMOVED_ENTRY_MARKER = "获得更多金币秘籍"
REMOVED_ENTRY_TEXT = "文章已经删除"
NO_WECHAT_ID_TEXT = "无"


def removals(*texts):
    """Patterns that remove each text wherever it stands, letters in any case."""
    return [re.compile(re.escape(text), re.IGNORECASE) for text in texts]


NAME_REMOVALS = removals('"', "<em>", "</em>", "?", "em>")
DESCRIPTION_REMOVALS = removals(spaces(40), "</span>", "</li>", '<ul class="other-info">',
                                '<li style="width:185px;">')


def remove_all(text, patterns):
    for pattern in patterns:
        text = pattern.sub("", text)
    return text


def url_encode(keyword):
    """Percent-encodes the UTF-8 bytes of a keyword; only - . 0-9 A-Z a-z stay."""
    kept = b"-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    return "".join(chr(byte) if byte in kept else "%%%02X" % byte
                   for byte in keyword.encode("utf-8"))


def page_text(response):
    text = response.text.encode("gbk", errors="replace").decode("gbk")
    return text.split("\0", 1)[0]


def clean_name(name_line):
    return remove_all(name_line, NAME_REMOVALS).strip(" \u3000")


def detail_cells(page):
    if REMOVED_ENTRY_MARKER in page:
        return {name: REMOVED_ENTRY_TEXT for name, _ in DETAIL_FIELDS}
    cells = {}
    for name, pattern in DETAIL_PATTERNS:
        found = pattern.search(page)
        value = (found.group(1) or "") if found else ""
        if name == "description":
            value = remove_all(value.strip(" "), DESCRIPTION_REMOVALS)
        elif name == "wechat_id" and not value:
            value = NO_WECHAT_ID_TEXT
        cells[name] = value
    return cells


class DirectorySpider(scrapy.Spider):
    name = "directory"

    def __init__(self, site, keywords, pages, **kwargs):
        super().__init__(**kwargs)
        self.searches = [(keyword, page) for keyword in keywords for page in range(1, pages + 1)]
        self.site = site
        self.rows = []

    def start_requests(self):
        if self.searches:
            yield self.search_request(0)
        else:
            self.logger.warning("no search pages to read")

    def search_request(self, index):
        keyword, page = self.searches[index]
        url = "%s/cse/search?q=%s&p=%d%s" % (self.site, url_encode(keyword), page - 1,
                                              SEARCH_TAIL)
        return scrapy.Request(url, callback=self.parse_search, errback=self.search_failed,
                              dont_filter=True, cb_kwargs={"index": index})

    def parse_search(self, response, index):
        page = page_text(response)
        sources = [found.group(1) for found in SOURCE_PATTERN.finditer(page)]
        for k, title in enumerate(TITLE_PATTERN.finditer(page)):
            self.rows.append({
                "id": len(self.rows) + 1,
                "name": clean_name(title.group(2)),
                "url": title.group(1),
                "source": sources[k] if k < len(sources) else "",
            })
        yield from self.next_phase(index)

    def search_failed(self, failure):
        yield from self.next_phase(failure.request.cb_kwargs["index"])

    def next_phase(self, index):
        if index + 1 < len(self.searches):
            yield self.search_request(index + 1)
            return
        for row in self.rows:
            yield scrapy.Request(row["url"], callback=self.parse_detail,
                                 errback=self.detail_failed, dont_filter=True,
                                 cb_kwargs={"row": row})

    def parse_detail(self, response, row):
        return {**row, **detail_cells(page_text(response))}

    def detail_failed(self, failure):
        return {**failure.request.cb_kwargs["row"], **detail_cells("")}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", required=True)
    parser.add_argument("--keyword", action="append", required=True)
    parser.add_argument("--pages", type=int, required=True)
    parser.add_argument("--concurrency", type=int, default=20)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    process = CrawlerProcess(settings={
        "CONCURRENT_REQUESTS": args.concurrency,
        "CONCURRENT_REQUESTS_PER_DOMAIN": args.concurrency,
        "CONCURRENT_REQUESTS_PER_IP": 0,
        "DOWNLOAD_DELAY": 0,
        "RANDOMIZE_DOWNLOAD_DELAY": False,
        "AUTOTHROTTLE_ENABLED": False,
        "ROBOTSTXT_OBEY": False,
        "RETRY_ENABLED": False,
        "HTTPCACHE_ENABLED": False,
        "COOKIES_ENABLED": False,
        "TELNETCONSOLE_ENABLED": False,
        # Error pages are matched like any page, as zorvane-harvest does.
        "HTTPERROR_ALLOW_ALL": True,
        # Detail pages are dispatched in row order.
        "SCHEDULER_MEMORY_QUEUE": "scrapy.squeues.FifoMemoryQueue",
        "DOWNLOAD_TIMEOUT": 60,
        "REQUEST_FINGERPRINTER_IMPLEMENTATION": "2.7",
        "LOG_LEVEL": "WARNING",
        "FEEDS": {args.out: {"format": "jsonlines", "encoding": "utf8", "overwrite": True}},
    })
    process.crawl(DirectorySpider, site=args.site.rstrip("/"), keywords=args.keyword,
                  pages=args.pages)
    process.start()


if __name__ == "__main__":
    main()
