#include "app/gui/result_cell_delegate.h"

#include <QPainter>

namespace zv::app {

namespace {

constexpr int kTextMargin = 3;  // pixels between the text and the cell's sides

}  // namespace

void ResultCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  if (selected) painter->fillRect(option.rect, option.palette.highlight());
  const QRect area = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
  if (area.width() <= 0) return;
  const QString shown =
      option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, area.width());
  painter->save();
  painter->setPen(selected ? option.palette.highlightedText().color()
                           : option.palette.text().color());
  painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  painter->restore();
}

}  // namespace zv::app
