#include "app/MessageLabel.h"

#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

namespace {

QTextOption Wrapping(Qt::Alignment alignment) {
  QTextOption option(alignment);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  return option;
}

}  // namespace

TMessageLabel::TMessageLabel(QWidget* parent) : QLabel(parent) {}

int TMessageLabel::NeededHeight(int width) const {
  QTextLayout layout(text(), font());
  layout.setTextOption(Wrapping(alignment()));
  layout.beginLayout();
  qreal height = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, height));
    height += line.height();
  }
  layout.endLayout();
  return static_cast<int>(std::ceil(height));
}

void TMessageLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(QRectF(contentsRect()), text(), Wrapping(alignment()));
}
