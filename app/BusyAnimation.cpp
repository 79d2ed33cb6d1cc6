#include "app/BusyAnimation.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr int kFrames = 30;
constexpr int kFrameMilliseconds = 60;

}  // namespace

TBusyAnimation::TBusyAnimation(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(kFrameMilliseconds);
  connect(&timer_, &QTimer::timeout, this, [this] {
    frame_ = (frame_ + 1) % kFrames;
    update();
  });
}

void TBusyAnimation::Start() { timer_.start(); }

void TBusyAnimation::Stop() { timer_.stop(); }

void TBusyAnimation::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);

  // The folder.
  const QRectF body(area.left(), area.top() + area.height() * 0.25, area.width() * 0.6,
                    area.height() * 0.7);
  QPainterPath folder;
  folder.moveTo(body.left(), body.top());
  folder.lineTo(body.left() + body.width() * 0.35, body.top());
  folder.lineTo(body.left() + body.width() * 0.45, body.top() + body.height() * 0.15);
  folder.lineTo(body.right(), body.top() + body.height() * 0.15);
  folder.lineTo(body.right(), body.bottom());
  folder.lineTo(body.left(), body.bottom());
  folder.closeSubpath();
  painter.setPen(QPen(QColor(167, 125, 18), 1.5));
  painter.setBrush(QColor(242, 201, 76));
  painter.drawPath(folder);

  // The glass, circling over the folder.
  const double angle = 2 * M_PI * frame_ / kFrames;
  const QPointF centre(body.center().x() + std::cos(angle) * body.width() * 0.3 + 10,
                       body.center().y() + std::sin(angle) * body.height() * 0.25);
  const double radius = area.height() * 0.22;
  painter.setPen(QPen(QColor(31, 95, 168), 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(centre + QPointF(radius * 0.7, radius * 0.7),
                   centre + QPointF(radius * 1.6, radius * 1.6));
  painter.setBrush(QColor(217, 236, 255, 200));
  painter.drawEllipse(centre, radius, radius);
}
