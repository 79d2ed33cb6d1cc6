#pragma once

#include <string>

namespace platform {

// A mutex with a name, held by at most one process of the user at a time.
// It is released when the object is destroyed or the process dies.
class NamedMutex {
 public:
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // True if this object holds the mutex; false if another process (or another
  // object in this one) already held it when we were made.
  bool Owned() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform
