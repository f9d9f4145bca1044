// DetailWorker: completes one result row from the entry's detail page.
//
// Thread rule: runs on a worker thread of its own, with a RegexMatcher of its
// own; it writes only cells 4 to 11 of its own row (through a RowRef, so a row
// removed by a clearing is never written) and reads only that row's Url.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "harvest/result_table.h"
#include "text/regex_matcher.h"

namespace zv::harvest {

using text::Bytes;

// One detail cell and the pattern whose first group fills it (GBK).
struct DetailField {
  ResultColumn column;
  Text pattern;
};
// The seven fields, Description to QrImage, in the order they are applied.
const std::vector<DetailField>& DetailFields();

// The fixed texts of the detail phase (GBK).
const Text& StatusRunningText();   // "正在采集中"
const Text& StatusDoneText();      // "采集完成"
const Text& RemovedEntryMarker();  // "获得更多金币秘籍"
const Text& RemovedEntryText();    // "文章已经删除"
const Text& NoWechatIdText();      // "无"

// Cells Description to QrImage, in column order, from a decoded detail page.
using DetailCells = std::array<Text, 7>;
DetailCells ExtractDetailCells(const Text& page, text::RegexMatcher& matcher);

// Fetches a detail page; empty bytes when anything fails.
using DetailFetch = std::function<Bytes(const Text& url)>;

// Marks the row running, fetches its Url, fills cells 4 to 10 (cell by cell,
// in column order) and marks it done.
void DetailWorker(ResultTable& table, RowRef row, const DetailFetch& fetch);

}  // namespace zv::harvest
