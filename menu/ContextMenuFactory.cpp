#include "menu/ContextMenuFactory.h"

#include "menu/ContextMenuHandler.h"
#include "platform/PlatformVersion.h"

namespace {

constexpr char kHandlerName[] = "Velmora";
constexpr char kApprovedKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

}  // namespace

TContextMenuFactory::TContextMenuFactory(TComServer& server)
    : TComObjectFactory(server, CLSID_ContextMenu, "Context Menu Shell Extension", "Apartment",
                        &TContextMenu::Create) {}

void TContextMenuFactory::UpdateShellRegistration(bool Register, platform::Registry& registry) {
  const std::string classId = ClassIDText();
  if (Register) {
    TComObjectFactory::UpdateShellRegistration(true, registry);
    for (const char* type : {"*", "Folder"}) {
      const std::string shellex = std::string(type) + "\\shellex";
      CreateRegKey(registry, shellex, "", "");
      CreateRegKey(registry, shellex + "\\ContextMenuHandlers", "", "");
      CreateRegKey(registry, shellex + "\\ContextMenuHandlers\\" + kHandlerName, "", classId);
    }
    if (platform::PlatformId() == platform::VER_PLATFORM_WIN32_NT &&
        !registry.SetString(platform::RegistryRoot::LocalMachine, kApprovedKey, classId,
                            Description())) {
      throw ERegistryException("Failed to set data for '" + classId + "'");
    }
  } else {
    DeleteRegKey(registry, std::string("*\\shellex\\ContextMenuHandlers\\") + kHandlerName);
    DeleteRegKey(registry, std::string("Folder\\shellex\\ContextMenuHandlers\\") + kHandlerName);
    TComObjectFactory::UpdateShellRegistration(false, registry);
  }
}
