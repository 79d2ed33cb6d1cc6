#include "menu/host/ExtensionLibrary.h"

#include <dlfcn.h>

#include <cstdio>

#include "platform/ErrorInfo.h"
#include "platform/Exception.h"

std::unique_ptr<ExtensionLibrary> ExtensionLibrary::Load(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    throw Exception("cannot load " + path + ": " + (reason ? reason : "unknown error"));
  }
  std::unique_ptr<ExtensionLibrary> library(new ExtensionLibrary(path, handle));
  auto find = [&](const char* name) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) throw Exception(path + " is no in-process server: it lacks " + name);
    return symbol;
  };
  library->getClassObject_ = reinterpret_cast<DllGetClassObjectProc>(find("DllGetClassObject"));
  library->canUnloadNow_ = reinterpret_cast<DllCanUnloadNowProc>(find("DllCanUnloadNow"));
  library->registerServer_ = reinterpret_cast<DllRegisterServerProc>(find("DllRegisterServer"));
  library->unregisterServer_ =
      reinterpret_cast<DllUnregisterServerProc>(find("DllUnregisterServer"));
  return library;
}

ExtensionLibrary::~ExtensionLibrary() {
  // A library that still has objects in use must stay mapped; it then lives
  // as long as the process.
  if (canUnloadNow_ == nullptr || canUnloadNow_() == S_OK) ::dlclose(handle_);
}

std::string HresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string FailureText(HRESULT hr) {
  std::string text = "failed (" + HresultText(hr) + ")";
  const std::string reason = TakeErrorDescription();
  return reason.empty() ? text : text + ": " + reason;
}
