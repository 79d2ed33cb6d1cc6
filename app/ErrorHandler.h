#pragma once

#include <QString>
#include <exception>
#include <string>

// The program's general error handler: an error that no operation handles
// itself ends the event that raised it and is shown here, in a modal message
// box with an error icon and OK, captioned with the application title. The
// program then goes on with its next event.

// The application title, also the caption of the general error handler.
inline constexpr char kApplicationTitle[] = "Velmora";

// `message` with a full stop appended when its last byte sorts after "."
// (a letter or a digit, for example); an empty message stays empty.
std::string WithFullStop(const std::string& message);

// Shows the error in the general error handler's message box; returns when
// the user has closed it.
void ShowException(const std::exception& error);
void ShowException(std::exception_ptr error);

// Runs `handler` and shows whatever error escapes it. Every event handler
// of the windows runs through this, so that no exception reaches the toolkit.
template <typename Handler>
void Guarded(Handler&& handler) {
  try {
    handler();
  } catch (...) {
    ShowException(std::current_exception());
  }
}
