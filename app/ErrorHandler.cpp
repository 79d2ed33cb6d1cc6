#include "app/ErrorHandler.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <stdexcept>

#include "app/FileName.h"

std::string WithFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void ShowException(const std::exception& error) {
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  QPointer<QMessageBox> box =
      new QMessageBox(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle),
                      DecodeName(WithFullStop(error.what())), QMessageBox::Ok, owner);
  box->exec();
  delete box;  // null when the owner went while the box was open
}

void ShowException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::runtime_error("Unknown error"));
  }
}
