#pragma once

#include <QLabel>
#include <QString>
#include <functional>

// Narrows `path` step by step until `fits` accepts it or nothing is left to
// cut: the first folder is replaced by ".../" at each step, then the folders
// go altogether, then a drive ("C:") if the path has one, so that
// /site/docs/old/page.htm becomes /.../docs/old/page.htm, /.../old/page.htm,
// /.../page.htm, .../page.htm and finally page.htm. The file name is never
// cut. Always ends, also for a file at the root.
QString ShortenPath(const QString& path, const std::function<bool(const QString&)>& fits);

// A label that holds a full path as its text and shows the narrowed form
// (ShortenPath) that fits its width in its font.
class TPathLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TPathLabel(QWidget* parent = nullptr);

  // The text as it is drawn now.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
