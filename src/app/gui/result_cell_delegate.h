// ResultCellDelegate: paints a cell of the result list as one line of text,
// cut with an ellipsis where the column is too narrow, on the selection
// colours when its row is selected.
//
// Far cheaper than the style's item drawing: while a run's threads share the
// one processor, every millisecond the window spends painting is stretched
// many times over, so a lean paint keeps the window responsive.
// Thread rule: window thread only.
#pragma once

#include <QStyledItemDelegate>

namespace zv::app {

class ResultCellDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace zv::app
