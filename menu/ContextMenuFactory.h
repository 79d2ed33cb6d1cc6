#pragma once

#include "menu/ComObjectFactory.h"

// A value of the registry cannot be set.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// The class identifier of the context-menu handler.
inline constexpr CLSID CLSID_ContextMenu = {
    0x19741013, 0xC829, 0x11D1, {0x82, 0x33, 0x00, 0x20, 0xAF, 0x3E, 0x97, 0xA9}};

// The factory of the context-menu handler. Besides the class keys it attaches
// the handler, under the name "Velmora", to the context menus of all files
// ("*") and of folders ("Folder"), and on the NT family approves it as a
// shell extension.
class TContextMenuFactory final : public TComObjectFactory {
 public:
  explicit TContextMenuFactory(TComServer& server);

  // Register: the class keys, the shared shellex keys (their default values
  // set to empty), the two handler keys and the approval. Otherwise deletes
  // the two handler keys, then the class keys; the shared keys and the
  // approval stay. Raises EOleRegistrationError for the keys and
  // ERegistryException ("Failed to set data for '...'") for the approval;
  // what was written before stays.
  void UpdateShellRegistration(bool Register, platform::Registry& registry) override;
};
