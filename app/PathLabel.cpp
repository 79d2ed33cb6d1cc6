#include "app/PathLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

QString ShortenPath(const QString& path, const std::function<bool(const QString&)>& fits) {
  const qsizetype slash = path.lastIndexOf(u'/');
  QString dir = path.left(slash + 1);
  const QString name = path.mid(slash + 1);
  QString drive;
  if (dir.size() >= 2 && dir[0].isLetter() && dir[1] == u':') {
    drive = dir.left(2);
    dir.remove(0, 2);
  }
  QString shown = path;
  while ((!dir.isEmpty() || !drive.isEmpty()) && !fits(shown)) {
    if (dir == QLatin1String("/.../")) {
      drive.clear();
      dir = QStringLiteral(".../");
    } else if (dir.isEmpty()) {
      drive.clear();
    } else {
      const QString before = dir;
      const bool rooted = dir.startsWith(u'/');
      if (rooted) dir.remove(0, 1);
      // A leading full stop is the ".../" left by an earlier step.
      if (dir.startsWith(u'.')) dir.remove(0, 4);
      const qsizetype next = dir.indexOf(u'/');
      if (next >= 0) {
        dir = QStringLiteral(".../") + dir.mid(next + 1);
      } else {
        dir.clear();
      }
      if (rooted) dir.prepend(u'/');
      // A folder part that is only the root has nothing left to cut; without
      // this the narrowing would never end for a file at the root.
      if (dir == before) dir.clear();
    }
    shown = drive + dir + name;
  }
  return shown;
}

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {}

QString TPathLabel::ShownText() const {
  const QFontMetrics metrics(font());
  const int room = contentsRect().width();
  return ShortenPath(
      text(), [&](const QString& shown) { return metrics.horizontalAdvance(shown) <= room; });
}

void TPathLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), alignment(), palette(), isEnabled(), ShownText(),
                        foregroundRole());
}
