#pragma once

#include <QTimer>
#include <QWidget>

// A small looping picture that tells that a folder is being searched: a
// magnifying glass circling over a folder. Still until Start.
class TBusyAnimation : public QWidget {
  Q_OBJECT

 public:
  explicit TBusyAnimation(QWidget* parent = nullptr);

  void Start();
  void Stop();
  bool Running() const { return timer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer timer_;
  int frame_ = 0;
};
