#include "app/gui/gbk_edge.h"

#include "text/codepage.h"

namespace zv::app {

QString FromGbk(const text::Text& gbk) {
  return QString::fromStdU16String(text::ToWide(gbk, text::CodePage::Gbk));
}

text::Text ToGbk(const QString& shown) {
  return text::FromWide(shown.toStdU16String(), text::CodePage::Gbk);
}

text::Text KeywordsFromBox(const QString& boxText) {
  QString lines = boxText;
  lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return ToGbk(lines);
}

}  // namespace zv::app
