#pragma once

#include <atomic>
#include <string>

// The library's server object: it counts what keeps the library in use.
// Live objects and server locks count together; references to class
// factories count apart. The counts change on any thread.
class TComServer {
 public:
  TComServer() = default;
  TComServer(const TComServer&) = delete;
  TComServer& operator=(const TComServer&) = delete;

  // One live object or server lock more (+1) or less (-1).
  void CountObject(int delta) { ObjectCount_ += delta; }
  // One reference to a class factory more (+1) or less (-1).
  void CountFactory(int delta) { FactoryCount_ += delta; }

  int ObjectCount() const { return ObjectCount_; }
  int FactoryCount() const { return FactoryCount_; }
  // True when nothing holds the library: no live object, no server lock and
  // no reference to a factory.
  bool CanUnloadNow() const { return ObjectCount_ == 0 && FactoryCount_ == 0; }

  // Full path of the library file that holds the server.
  static std::string ServerFileName();

 private:
  std::atomic<int> ObjectCount_{0};
  std::atomic<int> FactoryCount_{0};
};
