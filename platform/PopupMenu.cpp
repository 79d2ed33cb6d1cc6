#include "platform/PopupMenu.h"

BOOL TPopupMenu::InsertItem(UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  const bool separator = (flags & MF_SEPARATOR) != 0;
  if (!separator && text == nullptr) return FALSE;
  size_t at = items_.size();
  if (flags & MF_BYPOSITION) {
    if (position < items_.size()) at = position;
  } else {
    // By command: before the item with that identifier, which must exist.
    at = items_.size() + 1;
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].id == position) {
        at = i;
        break;
      }
    }
    if (at > items_.size()) return FALSE;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at),
                Item{id, flags & ~MF_BYPOSITION, separator ? std::string() : std::string(text)});
  return TRUE;
}
