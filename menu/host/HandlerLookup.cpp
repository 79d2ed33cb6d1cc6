#include "menu/host/HandlerLookup.h"

#include <optional>

std::vector<THandlerEntry> FindContextMenuHandlers(const platform::RegistryKey& registry,
                                                   bool hasFiles, bool hasFolders,
                                                   std::vector<std::string>& problems) {
  std::vector<THandlerEntry> handlers;
  std::vector<const char*> types;
  if (hasFiles) types.push_back("*");
  if (hasFolders) types.push_back("Folder");
  for (const char* type : types) {
    const std::string keyPath =
        std::string("HKEY_CLASSES_ROOT\\") + type + "\\shellex\\ContextMenuHandlers";
    const platform::RegistryKey* list = registry.Find(keyPath);
    if (list == nullptr) continue;
    for (const auto& handler : list->SubKeys()) {
      // The class is the key's default value or, failing that, its name.
      std::optional<CLSID> classId;
      if (auto text = handler.String("")) classId = StringToGuid(*text);
      if (!classId) classId = StringToGuid(handler.Name());
      if (!classId) {
        problems.push_back(keyPath + "\\" + handler.Name() + " names no class");
        continue;
      }
      bool seen = false;
      for (const auto& known : handlers) seen = seen || known.ClassId == *classId;
      if (seen) continue;
      const std::string serverKey =
          "HKEY_CLASSES_ROOT\\CLSID\\" + GuidToString(*classId) + "\\InprocServer32";
      const platform::RegistryKey* server = registry.Find(serverKey);
      std::optional<std::string> path = server ? server->String("") : std::nullopt;
      if (!path || path->empty()) {
        problems.push_back("handler " + handler.Name() + ": no " + serverKey);
        continue;
      }
      handlers.push_back({handler.Name(), *classId, *path});
    }
  }
  return handlers;
}
