#pragma once

#include <memory>
#include <string>

#include "platform/Com.h"

// One in-process server library loaded by the host, with its four exports.
// The library stays loaded while the object lives; the owner unloads it only
// when nothing made by it is still in use (see CanUnloadNow).
class ExtensionLibrary {
 public:
  // Loads the library at `path`. Raises Exception when it cannot be loaded
  // or lacks one of the four exports.
  static std::unique_ptr<ExtensionLibrary> Load(const std::string& path);
  ~ExtensionLibrary();
  ExtensionLibrary(const ExtensionLibrary&) = delete;
  ExtensionLibrary& operator=(const ExtensionLibrary&) = delete;

  const std::string& Path() const { return path_; }

  // The exports. A failing call may leave its reason in the thread's error
  // object (TakeErrorDescription).
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) const {
    return getClassObject_(classId, iid, object);
  }
  bool CanUnloadNow() const { return canUnloadNow_() == S_OK; }
  HRESULT RegisterServer() const { return registerServer_(); }
  HRESULT UnregisterServer() const { return unregisterServer_(); }

 private:
  ExtensionLibrary(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}

  std::string path_;
  void* handle_;
  DllGetClassObjectProc getClassObject_ = nullptr;
  DllCanUnloadNowProc canUnloadNow_ = nullptr;
  DllRegisterServerProc registerServer_ = nullptr;
  DllUnregisterServerProc unregisterServer_ = nullptr;
};

// "0x80004005".
std::string HresultText(HRESULT hr);

// "failed (0x80004005): reason", the reason taken from the thread's error
// object when the callee left one.
std::string FailureText(HRESULT hr);
