#pragma once

#include <string>
#include <vector>

#include "platform/ShellExtension.h"

// The shell's side of a popup menu: a plain list of items that extensions
// fill through InsertMenuA. Not thread-safe; one shell thread owns it.
class TPopupMenu final : public MenuHandle {
 public:
  struct Item {
    UINT_PTR id;
    UINT flags;
    std::string text;  // empty for a separator
  };

  BOOL InsertItem(UINT position, UINT flags, UINT_PTR id, LPCSTR text) override;

  const std::vector<Item>& Items() const { return items_; }
  // The menu as the handle an extension receives.
  HMENU Handle() { return this; }

 private:
  std::vector<Item> items_;
};
