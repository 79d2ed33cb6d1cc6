#pragma once

// What a file manager's shell hands to a context-menu extension and what the
// extension calls back: the data object with the selection as a drop list,
// the popup menu, the two extension interfaces and their flags.

#include "platform/Com.h"

inline constexpr IID IID_IDataObject = {
    0x0000010E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IShellExtInit = {
    0x000214E8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IContextMenu = {
    0x000214E4, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---------------------------------------------------------------------------
// Global memory blocks and the drop list.

using HGLOBAL = void*;
using HDROP = HGLOBAL;
inline constexpr UINT MAX_PATH = 260;

// A zeroed block of `bytes`; freed with GlobalFree.
HGLOBAL GlobalAlloc(size_t bytes);
void GlobalFree(HGLOBAL block);

struct POINT {
  LONG x;
  LONG y;
};

// Head of a drop list: the paths follow at offset pFiles, each ended by NUL,
// the list ended by one more NUL.
struct DROPFILES {
  DWORD pFiles;
  POINT pt;
  BOOL fNC;
  BOOL fWide;
};

// A drop list holding `paths` (8-bit text), in a block from GlobalAlloc.
HDROP MakeDropList(const char* const* paths, size_t count);

// With `index` 0xFFFFFFFF: the number of paths. With a null `buffer`: the
// length of path `index` without its NUL. Otherwise copies path `index` into
// `buffer`, at most `size` - 1 characters and a NUL, and returns the number
// copied. 0 for an index past the end.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);

// ---------------------------------------------------------------------------
// The data object.

using CLIPFORMAT = WORD;
inline constexpr CLIPFORMAT CF_HDROP = 15;
inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD TYMED_NULL = 0;
inline constexpr DWORD TYMED_HGLOBAL = 1;

struct DVTARGETDEVICE;

struct FORMATETC {
  CLIPFORMAT cfFormat;
  DVTARGETDEVICE* ptd;
  DWORD dwAspect;
  LONG lindex;
  DWORD tymed;
};

struct STGMEDIUM {
  DWORD tymed;
  HGLOBAL hGlobal;
  // When set, releasing the medium releases this object instead of freeing
  // hGlobal.
  IUnknown* pUnkForRelease;
};

// Frees what a medium holds and clears it.
void ReleaseStgMedium(STGMEDIUM* medium);

class IDataObject : public IUnknown {
 public:
  // Fills `medium` with the data in `format`; the caller owns the medium and
  // frees it with ReleaseStgMedium.
  virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
  // S_OK when GetData would deliver `format`.
  virtual HRESULT QueryGetData(FORMATETC* format) = 0;

 protected:
  ~IDataObject() = default;
};

// ---------------------------------------------------------------------------
// The popup menu. The shell owns it; an extension only inserts items.

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_BYPOSITION = 0x0400;

class MenuHandle {
 public:
  // Inserts an item before `position` (MF_BYPOSITION: an index, past the end
  // appends) or before the item with command `position`. FALSE when refused.
  virtual BOOL InsertItem(UINT position, UINT flags, UINT_PTR id, LPCSTR text) = 0;

 protected:
  ~MenuHandle() = default;
};
using HMENU = MenuHandle*;

inline BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  return menu ? menu->InsertItem(position, flags, id, text) : FALSE;
}

// ---------------------------------------------------------------------------
// The extension interfaces.

struct ITEMIDLIST;
using LPCITEMIDLIST = const ITEMIDLIST*;
struct HKEY__;
using HKEY = HKEY__*;

inline constexpr UINT CMF_NORMAL = 0x0000;
inline constexpr UINT CMF_DEFAULTONLY = 0x0001;
inline constexpr UINT CMF_VERBSONLY = 0x0002;
inline constexpr UINT CMF_EXPLORE = 0x0004;
inline constexpr UINT CMF_NOVERBS = 0x0008;

inline constexpr UINT GCS_VERBA = 0x0000;
inline constexpr UINT GCS_HELPTEXTA = 0x0001;
inline constexpr UINT GCS_VALIDATEA = 0x0002;
inline constexpr UINT GCS_VERBW = 0x0004;
inline constexpr UINT GCS_HELPTEXTW = 0x0005;
inline constexpr UINT GCS_VALIDATEW = 0x0006;

inline constexpr int SW_SHOWNORMAL = 1;

struct CMINVOKECOMMANDINFO {
  DWORD cbSize;
  DWORD fMask;
  HWND hwnd;
  // A command offset made with MAKEINTRESOURCEA, or a verb text.
  LPCSTR lpVerb;
  LPCSTR lpParameters;
  LPCSTR lpDirectory;
  int nShow;
  DWORD dwHotKey;
  HANDLE hIcon;
};

constexpr LPCSTR MAKEINTRESOURCEA(UINT_PTR id) { return reinterpret_cast<LPCSTR>(id & 0xFFFF); }
inline bool IS_INTRESOURCE(LPCSTR p) { return (reinterpret_cast<UINT_PTR>(p) >> 16) == 0; }

class IShellExtInit : public IUnknown {
 public:
  virtual HRESULT Initialize(LPCITEMIDLIST folder, IDataObject* data, HKEY progId) = 0;

 protected:
  ~IShellExtInit() = default;
};

class IContextMenu : public IUnknown {
 public:
  // Adds items with identifiers from `idCmdFirst`; returns the number of
  // identifiers used as the code of a success result.
  virtual HRESULT QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                   UINT flags) = 0;
  virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) = 0;
  // Writes at most `size` characters into `name`, the NUL included.
  virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, LPSTR name,
                                   UINT size) = 0;

 protected:
  ~IContextMenu() = default;
};
