#include "app/TApplication.h"

#include <QIcon>
#include <QPointer>
#include <memory>

#include "app/DesktopShell.h"
#include "app/ErrorHandler.h"
#include "app/TErrorForm.h"
#include "app/TMainForm.h"
#include "app/TerminationSignal.h"
#include "storage/GlobalLib.h"

const char kHintStyle[] =
    "QToolTip { color: white; background-color: rgb(24, 132, 216); border: 1px solid white; "
    "padding: 1px; }";

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QString::fromLatin1(kApplicationTitle));
  setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
  setWindowIcon(QIcon(QStringLiteral(":/icons/vlm.png")));
  setStyleSheet(QString::fromLatin1(kHintStyle));
  for (int i = 1; i < argc; ++i) arguments_.emplace_back(argv[i]);
}

int TApplication::Run() {
  DesktopShell shell;
  platform::SetShell(&shell);
  SetShowErrorHandler(&TErrorForm::Show);
  // Outlives the main window, so that a request to end also closes the
  // message of a failed save at the very end.
  QPointer<TMainForm> ending;
  TerminationSignal termination([&ending] {
    if (ending) {
      ending->EndProgram();
    } else {
      EndModalWindows(qApp, [] {});
    }
  });
  std::unique_ptr<TMainForm> mainForm;
  try {
    mainForm = std::make_unique<TMainForm>(arguments_);
  } catch (const std::exception& error) {
    ShowException(error);
    return 1;
  }
  ending = mainForm.get();
  mainForm->show();
  const int code = exec();
  ending = nullptr;
  mainForm.reset();
  platform::SetShell(nullptr);
  return code;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  // The windows catch their own errors; this only keeps an error that slips
  // past them from ending the program.
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowException(std::current_exception());
    return false;
  }
}
