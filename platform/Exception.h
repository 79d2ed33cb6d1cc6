#pragma once

#include <stdexcept>
#include <string>

// The general exception of the system: it carries the message shown to the
// user. Every error the program raises on purpose derives from it.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that should hold a number does not.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A file of the program (options, list) cannot be opened or created.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// A positional text file has fewer lines than it must.
class EListError : public Exception {
 public:
  using Exception::Exception;
};
