#include "menu/ContextMenuHandler.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ErrorInfo.h"
#include "platform/File.h"
#include "platform/InstallLayout.h"
#include "platform/Process.h"
#include "storage/GlobalLib.h"
#include "storage/HandOffFile.h"
#include "storage/ProgramFolders.h"
#include "storage/vlmOption.h"

namespace {

// Frees a storage medium on every way out.
struct MediumGuard {
  STGMEDIUM& medium;
  ~MediumGuard() { ReleaseStgMedium(&medium); }
};

// The result for a selection that the hand-off file cannot carry:
// HRESULT_FROM_WIN32(ERROR_INVALID_NAME).
constexpr HRESULT kInvalidName = static_cast<HRESULT>(0x8007007B);

}  // namespace

void* TContextMenu::Interface(REFIID iid) {
  if (iid == IID_IShellExtInit) return static_cast<IShellExtInit*>(this);
  if (iid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
  return TComObject::Interface(iid);
}

HRESULT TContextMenu::Initialize(LPCITEMIDLIST, IDataObject* data, HKEY) {
  if (data == nullptr) return E_INVALIDARG;
  try {
    SelectedPaths.clear();
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {TYMED_NULL, nullptr, nullptr};
    HRESULT hr = data->GetData(&format, &medium);
    if (FAILED(hr)) return hr;
    MediumGuard guard{medium};
    const HDROP drop = medium.hGlobal;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::string path;
    for (UINT i = 0; i < count; ++i) {
      // Sized to the path, so that no path is ever cut short.
      path.assign(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
      DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size()));
      path.resize(std::strlen(path.c_str()));
      if (!path.empty() && (platform::DirectoryExists(path) || IsKnownFileType(path))) {
        SelectedPaths.push_back(path);
      }
      hr = S_OK;
    }
    return hr;
  } catch (...) {
    SelectedPaths.clear();
    return E_UNEXPECTED;
  }
}

HRESULT TContextMenu::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT,
                                       UINT flags) {
  if (SelectedPaths.empty()) return 0;
  if ((flags & 0x0F) != 0 && (flags & CMF_EXPLORE) == 0) return 0;
  if (!InsertMenuA(menu, indexMenu, MF_STRING | MF_BYPOSITION, idCmdFirst, kMenuItemText)) {
    return 0;
  }
  return MAKE_HRESULT(0, 0, 1);
}

HRESULT TContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  if (info == nullptr) return E_INVALIDARG;
  if (!IS_INTRESOURCE(info->lpVerb)) return E_FAIL;
  if ((reinterpret_cast<UINT_PTR>(info->lpVerb) & 0xFFFF) != 0) return E_INVALIDARG;
  try {
    // The hand-off file holds one path a line: a name with a line break in
    // it would reach the program as other paths, which were never chosen.
    for (const auto& path : SelectedPaths) {
      if (path.find_first_of("\r\n") != std::string::npos) {
        SetErrorDescription("Cannot hand \"" + PrintablePath(path) +
                            "\" to the program: its name holds a line break. Rename it to "
                            "protect its images.");
        return kInvalidName;
      }
    }
    WriteHandOffFile(SelectedPaths);
    const std::string program = InstallationFolder() + "/vlm";
    if (!platform::StartDetached(program, {"/menu"}, GetProgramDir())) {
      SetErrorDescription("Cannot start \"" + program + "\". " + platform::ErrorText(errno));
      return E_FAIL;
    }
  } catch (const std::exception& error) {
    // Without a complete hand-off file the program is not started.
    SetErrorDescription(error.what());
    return E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT TContextMenu::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, LPSTR name, UINT size) {
  if (idCmd != 0) return E_INVALIDARG;
  if (type == GCS_HELPTEXTA && name != nullptr && size > 0) {
    const size_t length = std::min<size_t>(sizeof kMenuHelpText - 1, size - 1);
    std::memcpy(name, kMenuHelpText, length);
    name[length] = '\0';
  }
  return S_OK;
}

std::string InstallationFolder() { return platform::CurrentInstallLayout().Programs; }
