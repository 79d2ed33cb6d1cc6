#include "platform/ShellExtension.h"

#include <cstdlib>
#include <cstring>

// Blocks come from the C library's heap, which every module of the process
// shares, so a block made by a host may be freed by an extension.
HGLOBAL GlobalAlloc(size_t bytes) { return std::calloc(1, bytes == 0 ? 1 : bytes); }

void GlobalFree(HGLOBAL block) { std::free(block); }

HDROP MakeDropList(const char* const* paths, size_t count) {
  size_t bytes = sizeof(DROPFILES) + 1;
  for (size_t i = 0; i < count; ++i) bytes += std::strlen(paths[i]) + 1;
  auto* block = static_cast<char*>(GlobalAlloc(bytes));
  if (block == nullptr) return nullptr;
  auto* head = reinterpret_cast<DROPFILES*>(block);
  head->pFiles = sizeof(DROPFILES);
  char* out = block + sizeof(DROPFILES);
  for (size_t i = 0; i < count; ++i) {
    size_t length = std::strlen(paths[i]);
    std::memcpy(out, paths[i], length + 1);
    out += length + 1;
  }
  *out = '\0';
  return block;
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
  if (drop == nullptr) return 0;
  const char* block = static_cast<const char*>(drop);
  const char* path = block + reinterpret_cast<const DROPFILES*>(block)->pFiles;
  UINT count = 0;
  while (*path != '\0') {
    size_t length = std::strlen(path);
    if (count == index) {
      if (buffer == nullptr) return static_cast<UINT>(length);
      if (size == 0) return 0;
      size_t copied = length < size - 1 ? length : size - 1;
      std::memcpy(buffer, path, copied);
      buffer[copied] = '\0';
      return static_cast<UINT>(copied);
    }
    ++count;
    path += length + 1;
  }
  return index == 0xFFFFFFFF ? count : 0;
}

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (medium == nullptr) return;
  if (medium->pUnkForRelease) {
    medium->pUnkForRelease->Release();
  } else if (medium->tymed == TYMED_HGLOBAL) {
    GlobalFree(medium->hGlobal);
  }
  medium->tymed = TYMED_NULL;
  medium->hGlobal = nullptr;
  medium->pUnkForRelease = nullptr;
}
