#pragma once

#include <QDialog>
#include <QPoint>
#include <functional>
#include <memory>

namespace Ui {
class TModelForm;
}
class QLabel;

// The base window of every window of the program. It replaces the system's
// frame by its own: a 1-pixel black border, a drawn 20-pixel title bar with
// the title label and up to three 19 x 19 image buttons at its right end
// (help, minimise, close), and the client area below, where a derived window
// puts its controls (ClientArea). Dragging the title bar or the title with
// any mouse button moves the window.
//
// Closing goes through FormCloseQuery, whatever asks for it (the close
// button, Escape, the system's close command, CloseForm), so a derived
// window can refuse it. A window shown with exec() ends its modal showing
// when it closes.
class TModelForm : public QDialog {
  Q_OBJECT

 public:
  // `mainWindow`: a top-level window of its own with a task-bar entry rather
  // than a dialog over `parent`.
  explicit TModelForm(QWidget* parent = nullptr, bool mainWindow = false);
  ~TModelForm() override;

  // The widget that holds the derived window's controls.
  QWidget* ClientArea() const;
  QLabel* TitleLabel() const;
  QString Title() const;
  // Sets the title label and the window's title as the desktop shows it.
  void SetTitle(const QString& title);
  // Which of the frame's image buttons the window shows.
  void ShowFrameButtons(bool help, bool minimize, bool close);
  // Sizes the window so that its client area is `width` x `height`; the
  // window keeps that size (it has no frame to resize it with).
  void SetClientSize(int width, int height);

  // The frame's button actions. imgHelpClick does nothing here; a window
  // with a help topic opens it.
  virtual void imgHelpClick() {}
  void imgMinClick();
  void imgExitClick();

  void reject() override;
  // Ends the window's modal showing as its Cancel does, when the program is
  // asked to end. A window that works (a run, a folder reading) stops after
  // its current step and then closes itself.
  virtual void CancelModal() { reject(); }
  // True for a window that works while it is shown (a run, a folder reading)
  // and whose CancelModal only asks it to stop at its next step: it is told
  // at once, also while other windows stand above it.
  virtual bool StopsAtNextStep() const { return false; }
  // True while the window is being shown (its show handlers run, perhaps
  // with a message of their own); it cannot end its modal showing then.
  bool Showing() const { return showing_; }
  // Before a window shows over its parent, the parent's position is taken
  // from the window system, so that the window is centred where the parent
  // really is.
  void setVisible(bool visible) override;

 protected:
  // Asked before the window closes; the close happens only when it returns
  // true. The base window always agrees.
  virtual bool FormCloseQuery() { return true; }

  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void lblTitleMouseDown(QMouseEvent* event);

  std::unique_ptr<Ui::TModelForm> frame_;
  bool showing_ = false;
  // Set once the window's system window is watched for its exposure.
  bool watchingExposure_ = false;
  // The manual move, for platforms that cannot move a window for us.
  bool dragging_ = false;
  QPoint dragOffset_;
};

// Minimises every window of the program together; restoring one of them
// brings back the others.
void MinimizeApplication();

// Ends every modal window of the program as its Cancel does (CancelModal
// for the program's own windows, reject for the toolkit's dialogs), and each
// that opens while they close, then calls `then` from the event loop once
// none is left. Open menus close at once. Returns at once; the rest happens
// in the event loop, owned by `context`.
void EndModalWindows(QObject* context, std::function<void()> then);
