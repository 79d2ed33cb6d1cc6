#pragma once

#include <QApplication>
#include <string>
#include <vector>

// The program's application object: the title "Velmora", the program's hint
// style and icon, and the last net of the general error handler. Run makes
// the main window and runs the program until it is closed.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  // Takes the toolkit's own options out of `argc`/`argv`; what remains after
  // the program's name are the paths it was started with.
  TApplication(int& argc, char** argv);

  // Installs the error window as the handler of ShowError and the desktop
  // shell, makes the main window and runs until it closes. Returns the exit
  // code: 1 when the options could not be loaded (after saying why).
  int Run();

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::vector<std::string> arguments_;
};

// The style sheet of the program's hints: white on blue (24, 132, 216).
extern const char kHintStyle[];
