#include "platform/ErrorInfo.h"

#include <atomic>
#include <new>

namespace {

class TErrorInfo final : public IErrorInfo {
 public:
  explicit TErrorInfo(std::string description) : description_(std::move(description)) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
      *object = static_cast<IErrorInfo*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  LPCSTR GetDescription() override { return description_.c_str(); }

 private:
  std::atomic<ULONG> refs_{1};
  std::string description_;
};

// The thread's error object; holds one reference. Released when the thread
// ends.
struct ThreadSlot {
  IErrorInfo* info = nullptr;
  ~ThreadSlot() {
    if (info) info->Release();
  }
};
thread_local ThreadSlot slot;

}  // namespace

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
  if (reserved != 0) return E_INVALIDARG;
  if (info) info->AddRef();
  IErrorInfo* old = slot.info;
  slot.info = info;
  if (old) old->Release();
  return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (reserved != 0) return E_INVALIDARG;
  if (slot.info == nullptr) return S_FALSE;
  *info = slot.info;
  slot.info = nullptr;
  return S_OK;
}

HRESULT CreateErrorInfo(LPCSTR description, IErrorInfo** info) {
  if (info == nullptr) return E_POINTER;
  try {
    *info = new TErrorInfo(description ? description : "");
    return S_OK;
  } catch (const std::bad_alloc&) {
    *info = nullptr;
    return E_OUTOFMEMORY;
  }
}

void SetErrorDescription(const std::string& description) {
  IErrorInfo* info = nullptr;
  if (FAILED(CreateErrorInfo(description.c_str(), &info))) return;
  SetErrorInfo(0, info);
  info->Release();
}

std::string TakeErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return {};
  std::string description = info->GetDescription();
  info->Release();
  return description;
}
