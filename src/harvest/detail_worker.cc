#include "harvest/detail_worker.h"

#include <string>

#include "harvest/search_page.h"
#include "text/codepage.h"

namespace zv::harvest {

namespace {

std::string Spaces(int count) { return std::string(count, ' '); }

Text CleanDescription(const Text& captured) {
  static const std::string kRunOf40 = Spaces(40);
  static const std::array<text::ReplacePair, 5> kDescriptionPairs = {{
      {kRunOf40, ""},
      {"</span>", ""},
      {"</li>", ""},
      {"<ul class=\"other-info\">", ""},
      {"<li style=\"width:185px;\">", ""},
  }};
  return text::ReplacePairs(text::TrimBlanks(captured), kDescriptionPairs);
}

Text FieldValue(ResultColumn column, const Text& captured) {
  switch (column) {
    case ResultColumn::Description:
      return CleanDescription(captured);
    case ResultColumn::WechatId:
      return captured.empty() ? NoWechatIdText() : captured;
    default:
      return captured;
  }
}

int FieldIndex(ResultColumn column) {
  return static_cast<int>(column) - static_cast<int>(ResultColumn::Description);
}

}  // namespace

const std::vector<DetailField>& DetailFields() {
  static const std::vector<DetailField> fields = {
      {ResultColumn::Description,
       "<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">.*?([\\s\\S]*?).*?"
       "<i class=\"wxqicon_1 weixinqunICON\">\n"},
      {ResultColumn::Industry,
       "/.*?&amp;t=.*?\">\n" + Spaces(44) + "(.*?)\n" + Spaces(40) + "</a>"},
      {ResultColumn::Time, text::Gbk("时间：\n") + Spaces(44) + "(.*?)\n" + Spaces(36) + "</li>\n"},
      {ResultColumn::Region, text::Gbk("地区：\n") + Spaces(40) + "<a href=\".*?&amp;m=.*?\">\n" +
                                 Spaces(44) + "(.*?)\n" + Spaces(40) + "</a>\n"},
      {ResultColumn::Tags, text::Gbk("标签：\n") + Spaces(40) + "\n" + Spaces(40) + "\n" +
                               Spaces(40) + "<a href=\"\">\n" + Spaces(44) + "(.*?)\n" +
                               Spaces(40) + "</a>"},
      {ResultColumn::WechatId,
       text::Gbk("微信号：\n") + Spaces(40) + "</span>\n" + Spaces(40) +
           "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n" + Spaces(43) +
           "(.*?)\n" + Spaces(40) + "</span>\n" + Spaces(36) + "\n" + Spaces(32) + "</li>"},
      {ResultColumn::QrImage, "<img src=\"(http://img2.*?)\">"},
  };
  return fields;
}

const Text& StatusRunningText() {
  static const Text value = text::Gbk("正在采集中");
  return value;
}
const Text& StatusDoneText() {
  static const Text value = text::Gbk("采集完成");
  return value;
}
const Text& RemovedEntryMarker() {
  static const Text value = text::Gbk("获得更多金币秘籍");
  return value;
}
const Text& RemovedEntryText() {
  static const Text value = text::Gbk("文章已经删除");
  return value;
}
const Text& NoWechatIdText() {
  static const Text value = text::Gbk("无");
  return value;
}

DetailCells ExtractDetailCells(const Text& page, text::RegexMatcher& matcher) {
  DetailCells cells;
  if (text::Contains(page, RemovedEntryMarker())) {
    cells.fill(RemovedEntryText());
    return cells;
  }
  for (const DetailField& field : DetailFields()) {
    matcher.Search(field.pattern, page);
    cells[FieldIndex(field.column)] = FieldValue(field.column, matcher.SubmatchText(1, 1));
  }
  return cells;
}

void DetailWorker(ResultTable& table, RowRef row, const DetailFetch& fetch) {
  text::RegexMatcher matcher;
  table.SetCell(row, ResultColumn::Status, StatusRunningText());
  const Text url = table.GetCell(row, ResultColumn::Url);
  const Text page = Utf8BytesToText(fetch(url));
  const DetailCells cells = ExtractDetailCells(page, matcher);
  for (const DetailField& field : DetailFields())
    table.SetCell(row, field.column, cells[FieldIndex(field.column)]);
  table.SetCell(row, ResultColumn::Status, StatusDoneText());
}

}  // namespace zv::harvest
