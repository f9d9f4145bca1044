// Creating a window's controls at fixed places: each control carries its name
// as its object name and sits at (x, y) with the given size, relative to its
// parent. Window-thread only, like every widget.
#pragma once

#include <QString>
#include <QWidget>

namespace zv::app {

template <class Control>
Control* Place(QWidget* parent, const char* name, int x, int y, int width, int height) {
  auto* control = new Control(parent);
  control->setObjectName(QString::fromUtf8(name));
  control->setGeometry(x, y, width, height);
  return control;
}

}  // namespace zv::app
