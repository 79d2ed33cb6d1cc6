#pragma once

#include <string>
#include <vector>

#include "menu/ComObject.h"
#include "platform/ShellExtension.h"

// The text of the menu item ("&" marks the access key) and its help text.
inline constexpr char kMenuItemText[] = "&Protect Images";
inline constexpr char kMenuHelpText[] = "Protect images on the Web page(s)";

// The context-menu handler. The shell makes one object per right-click and
// calls, on the one thread of its apartment: Initialize, QueryContextMenu,
// GetCommandString any number of times, and InvokeCommand when the item is
// chosen. The selection belongs to the object, so shells that use the
// library at the same time never see each other's selection.
//
// The item is offered for a selection that holds a folder or a file whose
// extension is in the options' file-type list; choosing it writes those
// paths to the hand-off file "files.tmp" and starts the program `vlm` with
// "/menu". No call shows anything or lets an exception out; a failure is
// described in the thread's error object for the shell to show.
class TContextMenu final : public TComObject, public IShellExtInit, public IContextMenu {
 public:
  static TComObject* Create(TComServer& server, IUnknown* controller) {
    return new TContextMenu(server, controller);
  }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return TComObject::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return TComObject::AddRef(); }
  ULONG Release() override { return TComObject::Release(); }

  // Keeps the folders and known pages of the data object's drop list, in its
  // order, replacing the previous selection. E_INVALIDARG without a data
  // object; the data object's failure when it has no drop list.
  HRESULT Initialize(LPCITEMIDLIST folder, IDataObject* data, HKEY progId) override;
  // Inserts the item at `indexMenu` with identifier `idCmdFirst` and returns
  // 1, or returns 0: for an empty selection, for a menu that asks only for
  // defaults, verbs or no verbs without CMF_EXPLORE, or when the menu refuses
  // the item.
  HRESULT QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                           UINT flags) override;
  // E_FAIL for a verb given as text, E_INVALIDARG for an offset other than
  // 0. Otherwise hands the selection over and returns S_OK, or describes why
  // it could not in the thread's error object and returns:
  // HRESULT_FROM_WIN32(ERROR_INVALID_NAME) (nothing written or started) for a
  // selected name holding a line break, which the one-path-a-line hand-off
  // file cannot carry; E_FAIL when the hand-off file cannot be written
  // (nothing started) or the program cannot be started.
  HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  // For offset 0 and GCS_HELPTEXTA: the help text, cut to `size` characters
  // with its NUL. Other requests write nothing. E_INVALIDARG for another
  // offset.
  HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, LPSTR name,
                           UINT size) override;

 protected:
  void* Interface(REFIID iid) override;

 private:
  TContextMenu(TComServer& server, IUnknown* controller) : TComObject(server, controller) {}
  ~TContextMenu() override = default;

  std::vector<std::string> SelectedPaths;
};

// The folder of the programs installed with the library: its own folder, or
// the prefix's bin/ for a library in lib/velmora/.
std::string InstallationFolder();
