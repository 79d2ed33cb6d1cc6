#include "menu/host/ShellContextMenu.h"

#include "menu/host/HandlerLookup.h"
#include "platform/DropDataObject.h"
#include "platform/Exception.h"
#include "platform/File.h"

namespace {

constexpr UINT kFirstCommandId = 1;
constexpr UINT kLastCommandId = 0x7FFF;

}  // namespace

TShellContextMenu::TShellContextMenu(const platform::RegistryKey& registry,
                                     const std::vector<std::string>& paths, UINT flags,
                                     std::vector<std::string>& problems) {
  bool hasFiles = false, hasFolders = false;
  for (const auto& path : paths) {
    (platform::DirectoryExists(path) ? hasFolders : hasFiles) = true;
  }
  const std::vector<THandlerEntry> entries =
      FindContextMenuHandlers(registry, hasFiles, hasFolders, problems);

  TDropDataObject* data = TDropDataObject::ForPaths(paths);
  UINT nextId = kFirstCommandId;
  for (const auto& entry : entries) {
    ExtensionLibrary* library = LibraryFor(entry.LibraryPath, problems);
    if (library == nullptr) continue;
    IClassFactory* factory = nullptr;
    HRESULT hr = library->GetClassObject(entry.ClassId, IID_IClassFactory,
                                         reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
      problems.push_back(entry.LibraryPath + ": " + FailureText(hr));
      continue;
    }
    IShellExtInit* init = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    factory->Release();
    if (FAILED(hr)) {
      problems.push_back("handler " + entry.Name + ": " + FailureText(hr));
      continue;
    }
    IContextMenu* menu = nullptr;
    if (FAILED(init->Initialize(nullptr, data, nullptr)) ||
        FAILED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)))) {
      init->Release();
      continue;
    }
    init->Release();
    const UINT position = static_cast<UINT>(popup_.Items().size());
    hr = menu->QueryContextMenu(popup_.Handle(), position, nextId, kLastCommandId, flags);
    const UINT used = SUCCEEDED(hr) ? HRESULT_CODE(hr) : 0;
    handlers_.push_back({menu, nextId, used});
    nextId += used;
  }
  data->Release();

  for (const auto& entry : popup_.Items()) {
    if (entry.flags & MF_SEPARATOR) continue;
    for (size_t h = 0; h < handlers_.size(); ++h) {
      const Handler& handler = handlers_[h];
      if (entry.id < handler.FirstId || entry.id >= handler.FirstId + handler.IdCount) continue;
      const UINT offset = static_cast<UINT>(entry.id - handler.FirstId);
      char help[MAX_PATH + 1] = "";
      handler.Menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, help, sizeof help);
      items_.push_back({entry.text, help, h, offset});
      break;
    }
  }
}

TShellContextMenu::~TShellContextMenu() {
  for (const auto& handler : handlers_) handler.Menu->Release();
  handlers_.clear();
  libraries_.clear();
}

ExtensionLibrary* TShellContextMenu::LibraryFor(const std::string& path,
                                                std::vector<std::string>& problems) {
  for (const auto& library : libraries_) {
    if (library->Path() == path) return library.get();
  }
  try {
    libraries_.push_back(ExtensionLibrary::Load(path));
    return libraries_.back().get();
  } catch (const Exception& error) {
    problems.push_back(error.what());
    return nullptr;
  }
}

HRESULT TShellContextMenu::Invoke(const Item& item) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(item.Offset);
  info.nShow = SW_SHOWNORMAL;
  return handlers_.at(item.Handler).Menu->InvokeCommand(&info);
}
