#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/ShellExtension.h"

// The shell's data object for a selection. A selection of file-system items
// delivers them as a drop list (CF_HDROP in global memory); a selection of
// items that are not files (virtual folders) has no drop list to deliver.
class TDropDataObject final : public IDataObject {
 public:
  // A new object holding one reference, which the caller releases.
  static TDropDataObject* ForPaths(std::vector<std::string> paths);
  static TDropDataObject* WithoutFiles();

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // Each call delivers a new drop list, freed by ReleaseStgMedium.
  HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT QueryGetData(FORMATETC* format) override;

 private:
  explicit TDropDataObject(std::optional<std::vector<std::string>> paths)
      : paths_(std::move(paths)) {}
  ~TDropDataObject() = default;

  std::atomic<ULONG> refs_{1};
  std::optional<std::vector<std::string>> paths_;
};
