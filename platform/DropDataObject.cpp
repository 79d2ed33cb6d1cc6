#include "platform/DropDataObject.h"

TDropDataObject* TDropDataObject::ForPaths(std::vector<std::string> paths) {
  return new TDropDataObject(std::move(paths));
}

TDropDataObject* TDropDataObject::WithoutFiles() { return new TDropDataObject(std::nullopt); }

HRESULT TDropDataObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDataObject) {
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TDropDataObject::AddRef() { return ++refs_; }

ULONG TDropDataObject::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT TDropDataObject::QueryGetData(FORMATETC* format) {
  if (format == nullptr) return E_INVALIDARG;
  if (!paths_ || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
  if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
  return S_OK;
}

HRESULT TDropDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  *medium = STGMEDIUM{TYMED_NULL, nullptr, nullptr};
  HRESULT hr = QueryGetData(format);
  if (hr != S_OK) return hr;
  std::vector<const char*> texts;
  texts.reserve(paths_->size());
  for (const auto& path : *paths_) texts.push_back(path.c_str());
  HDROP drop = MakeDropList(texts.data(), texts.size());
  if (drop == nullptr) return E_OUTOFMEMORY;
  *medium = STGMEDIUM{TYMED_HGLOBAL, drop, nullptr};
  return S_OK;
}
