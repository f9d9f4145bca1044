// The window's edge between GBK texts (what the engine stores and reads) and
// the UTF-16 strings of the controls. The window converts here and nowhere
// else. Pure functions, safe on any thread.
#pragma once

#include <QString>

#include "text/text.h"

namespace zv::app {

// A GBK text as shown in a control; the text ends at its first zero byte.
QString FromGbk(const text::Text& gbk);
// A control's string as GBK; characters without a GBK form become "?".
text::Text ToGbk(const QString& shown);

// The keywords box's content as the engine reads it: the box keeps its line
// breaks as "\n", the engine splits keywords at "\r\n".
text::Text KeywordsFromBox(const QString& boxText);

}  // namespace zv::app
