#pragma once

#include <QLabel>

// A label for messages that may hold long paths: it wraps at word
// boundaries and, where a word (a path) is wider than the label, inside the
// word, so no part of the message is cut off at the right.
class TMessageLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TMessageLabel(QWidget* parent = nullptr);

  // The height the text needs at `width`.
  int NeededHeight(int width) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
