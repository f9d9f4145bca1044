// Reading a keyword file: the whole file, bytes up to the first zero byte,
// taken unchanged as GBK text (no code-page conversion, line ends kept).
// Any thread may call it.
#pragma once

#include <optional>
#include <string>

#include "text/text.h"

namespace zv::app {

// The file's text, or nothing when it cannot be opened or read (a missing
// file, a folder). `path` is a file-system (UTF-8) path.
std::optional<text::Text> ReadKeywordFile(const std::string& path);

}  // namespace zv::app
