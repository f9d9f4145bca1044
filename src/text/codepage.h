// Code-page conversions between GBK, UTF-8 and UTF-16, over iconv.
//
// Unmappable characters become "?"; invalid input sequences become U+FFFD on
// the way to UTF-16 (and so "?" on the way on to GBK). Thread-safe: every
// call uses its own conversion state.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace zv::text {

enum class CodePage { Gbk = 936, Utf8 = 65001 };

// Multi-byte text in `codePage` to UTF-16; the input ends at its first zero byte.
std::u16string ToWide(std::string_view text, CodePage codePage);
// UTF-16 to multi-byte text in `codePage`; the input ends at its first zero unit.
std::string FromWide(std::u16string_view wide, CodePage codePage);

// UTF-8 straight to GBK and back, with the same rules as going through UTF-16.
Text Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// Short spellings for fixed texts written in the sources as UTF-8 literals:
// Gbk("采集完成") is the GBK text the engine stores and compares.
inline Text Gbk(std::string_view utf8) { return Utf8ToGbk(utf8); }

}  // namespace zv::text
