// ExportToExcel: saves the result table as the workbook data.xls, every cell
// a text cell with the text number format "@".
//
// Sheet layout: row 1 holds the header titles, then one sheet row per table
// row. A sheet holds at most 65535 table rows below its header; further rows
// go on to "Sheet2", "Sheet3", ..., each again headed by the titles.
//
// Runs on the window thread. The table may be written by a harvest meanwhile:
// the row count is taken once, each cell is read with one GetCell, and rows
// removed by a clearing during the export read as empty cells.
#pragma once

#include <string>
#include <vector>

#include "harvest/result_table.h"
#include "text/text.h"

namespace zv::app {

using text::Text;

// The export's own twelve column titles (GBK), in column order.
const std::vector<Text>& ExportTitles();

// The export folder text followed by "/data.xls", the folder taken unchanged:
// a folder ending in "/" gives a doubled separator, which the file system
// reads as one.
Text ExportTargetPath(const Text& folder);

// Writes the workbook to `path` (GBK text; the file system sees its UTF-8
// form): one column per title, cells of column k read from table column k.
// The file is written beside `path` and renamed over it, so an earlier file
// survives a failed export. Before each table row it calls
// PumpPendingMessages. On failure returns false and, when `error` is given,
// sets it to the reason (ASCII).
bool ExportToExcel(const Text& path, const std::vector<Text>& titles,
                   const harvest::ResultTable& table, std::string* error);

}  // namespace zv::app
