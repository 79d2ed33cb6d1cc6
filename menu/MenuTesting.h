#pragma once

// Test helpers: a temporary installation of the real library, loaded with
// dlopen the way a shell loads it, and a stand-in for the main program that
// records how it was started.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "menu/ContextMenuFactory.h"
#include "platform/Com.h"
#include "platform/DropDataObject.h"
#include "platform/ErrorInfo.h"
#include "platform/File.h"
#include "platform/ShellExtension.h"
#include "testsupport/TempDir.h"
#include "testsupport/Wait.h"

namespace menutest {

// No test may touch the user's own registry: for the whole run the default
// registry path lies in a temporary folder, also where a test leaves
// VLM_REGISTRY unset.
inline const bool kUserRegistryGuarded = [] {
  static testsupport::TempDir config;
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  ::unsetenv("VLM_REGISTRY");
  ::unsetenv("VLM_HOME");
  return true;
}();

// The options file an installation ships with: 16 fixed lines, then the
// given file-type lines.
inline std::string OptionsText(const std::vector<std::string>& fileTypes) {
  std::string text =
      "1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n1\r\n16\r\n16\r\n3\r\n3\r\n64\r\n64\r\n\r\n\r\n1\r\n";
  for (const auto& type : fileTypes) text += type + "\r\n";
  return text;
}

// Writes a program named `vlm` into `folder` that adds a line to "starts"
// beside itself each time it runs, and records its arguments and working
// folder, one per line, in "started".
inline void WriteProgramRecorder(const std::string& folder) {
  const std::string path = folder + "/vlm";
  platform::ReplaceFile(path,
                        "#!/bin/sh\n"
                        "out=\"$(dirname \"$0\")/started\"\n"
                        "echo start >> \"$(dirname \"$0\")/starts\"\n"
                        "{ for a in \"$@\"; do echo \"arg:$a\"; done; echo \"cwd:$(pwd)\"; }"
                        " > \"$out.tmp\"\n"
                        "mv \"$out.tmp\" \"$out\"\n");
  ::chmod(path.c_str(), 0755);
}

using testsupport::AwaitFile;

// A copy of menu.so in a fresh folder (optionally a subfolder), with its own
// vlm.ini and registry file; VLM_HOME and VLM_REGISTRY point there while the
// object lives. Each copy is a library of its own for the loader, so every
// installation reads its own options when it is loaded.
class MenuInstallation {
 public:
  explicit MenuInstallation(const std::vector<std::string>& fileTypes = {"htm,HTML Document"},
                            const std::string& subfolder = "install")
      : folder_(dir_ / subfolder),
        home_("VLM_HOME", folder_),
        registry_("VLM_REGISTRY", dir_ / "registry.reg") {
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(MENU_LIBRARY, LibraryPath());
    dir_.Write(subfolder + "/vlm.ini", OptionsText(fileTypes));
  }
  ~MenuInstallation() { Unload(); }
  MenuInstallation(const MenuInstallation&) = delete;
  MenuInstallation& operator=(const MenuInstallation&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string LibraryPath() const { return folder_ + "/menu.so"; }
  std::string RegistryPath() const { return dir_ / "registry.reg"; }
  const testsupport::TempDir& Temp() const { return dir_; }

  // Loads the library and its exports, and asks it for its class object
  // once, as a shell does; returns the reason the library gave for refusing
  // to serve, empty when it serves.
  std::string Load() {
    TakeErrorDescription();
    handle_ = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      ADD_FAILURE() << ::dlerror();
      return "dlopen failed";
    }
    GetClassObject = reinterpret_cast<DllGetClassObjectProc>(::dlsym(handle_, "DllGetClassObject"));
    CanUnloadNow = reinterpret_cast<DllCanUnloadNowProc>(::dlsym(handle_, "DllCanUnloadNow"));
    RegisterServer = reinterpret_cast<DllRegisterServerProc>(::dlsym(handle_, "DllRegisterServer"));
    UnregisterServer =
        reinterpret_cast<DllUnregisterServerProc>(::dlsym(handle_, "DllUnregisterServer"));
    EXPECT_TRUE(GetClassObject && CanUnloadNow && RegisterServer && UnregisterServer);
    if (!GetClassObject) return "no DllGetClassObject";
    IUnknown* factory = nullptr;
    if (FAILED(
            GetClassObject(CLSID_ContextMenu, IID_IUnknown, reinterpret_cast<void**>(&factory)))) {
      return TakeErrorDescription();
    }
    factory->Release();
    return {};
  }
  void Unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
  }
  void* Handle() const { return handle_; }

  // A new handler object from the library's factory, as IContextMenu.
  IContextMenu* NewHandler(REFCLSID classId) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(GetClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    if (factory == nullptr) return nullptr;
    IContextMenu* menu = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
              S_OK);
    factory->Release();
    return menu;
  }

  DllGetClassObjectProc GetClassObject = nullptr;
  DllCanUnloadNowProc CanUnloadNow = nullptr;
  DllRegisterServerProc RegisterServer = nullptr;
  DllUnregisterServerProc UnregisterServer = nullptr;

 private:
  testsupport::TempDir dir_;
  std::string folder_;
  testsupport::ScopedEnv home_;
  testsupport::ScopedEnv registry_;
  void* handle_ = nullptr;
};

// Hands `paths` to `menu`'s IShellExtInit as the shell does; returns the
// result of Initialize.
inline HRESULT InitializeWith(IContextMenu* menu, const std::vector<std::string>& paths) {
  IShellExtInit* init = nullptr;
  if (menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)) != S_OK) {
    return E_NOINTERFACE;
  }
  TDropDataObject* data = TDropDataObject::ForPaths(paths);
  HRESULT hr = init->Initialize(nullptr, data, nullptr);
  data->Release();
  init->Release();
  return hr;
}

inline HRESULT InvokeOffset(IContextMenu* menu, UINT offset) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

}  // namespace menutest
