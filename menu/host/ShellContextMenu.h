#pragma once

#include <memory>
#include <string>
#include <vector>

#include "menu/host/ExtensionLibrary.h"
#include "platform/PopupMenu.h"
#include "platform/RegistryKey.h"
#include "platform/ShellExtension.h"

// The context menu a shell builds for one selection: it finds the handlers
// registered for the selection, loads their libraries, hands each handler
// the selection and lets it add its items to one popup menu, with command
// identifiers from 1 upwards, handler after handler. Handlers that cannot be
// loaded or made are left out and described in `problems`; a handler that
// refuses the selection is left out silently, as on the desktop.
class TShellContextMenu {
 public:
  struct Item {
    std::string Text;
    std::string HelpText;
    size_t Handler;  // index of the handler that added the item
    UINT Offset;     // the item's command offset within that handler
  };

  // `paths` are full paths of existing files and folders.
  TShellContextMenu(const platform::RegistryKey& registry, const std::vector<std::string>& paths,
                    UINT flags, std::vector<std::string>& problems);
  // Releases the handlers, then unloads the libraries that allow it.
  ~TShellContextMenu();
  TShellContextMenu(const TShellContextMenu&) = delete;
  TShellContextMenu& operator=(const TShellContextMenu&) = delete;

  // The menu's items in menu order (separators left out).
  const std::vector<Item>& Items() const { return items_; }
  // Chooses `item`; the handler's result.
  HRESULT Invoke(const Item& item);

 private:
  struct Handler {
    IContextMenu* Menu;
    UINT FirstId;
    UINT IdCount;
  };

  ExtensionLibrary* LibraryFor(const std::string& path, std::vector<std::string>& problems);

  std::vector<std::unique_ptr<ExtensionLibrary>> libraries_;
  std::vector<Handler> handlers_;
  TPopupMenu popup_;
  std::vector<Item> items_;
};
