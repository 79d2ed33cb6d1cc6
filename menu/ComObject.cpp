#include "menu/ComObject.h"

TComObject::TComObject(TComServer& server, IUnknown* controller)
    : Server_(server), Controller_(controller), Inner_(*this) {
  Server_.CountObject(+1);
}

TComObject::~TComObject() { Server_.CountObject(-1); }

void* TComObject::Interface(REFIID iid) {
  if (iid == IID_IUnknown) return static_cast<IUnknown*>(static_cast<ISupportErrorInfo*>(this));
  if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

HRESULT TComObject::QueryInterface(REFIID iid, void** object) {
  if (Controller_) return Controller_->QueryInterface(iid, object);
  return Inner_.QueryInterface(iid, object);
}

ULONG TComObject::AddRef() { return Controller_ ? Controller_->AddRef() : Inner_.AddRef(); }

ULONG TComObject::Release() { return Controller_ ? Controller_->Release() : Inner_.Release(); }

HRESULT TComObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return Interface(iid) ? S_OK : S_FALSE;
}

HRESULT TComObject::TInnerUnknown::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (owner_.Controller_ && iid == IID_IUnknown) {
    *object = this;
    AddRef();
    return S_OK;
  }
  *object = owner_.Interface(iid);
  if (*object == nullptr) return E_NOINTERFACE;
  // Through the interface, so that an aggregated object counts on its outer
  // object.
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

ULONG TComObject::TInnerUnknown::AddRef() { return ++owner_.RefCount_; }

ULONG TComObject::TInnerUnknown::Release() {
  ULONG left = --owner_.RefCount_;
  if (left == 0) delete &owner_;
  return left;
}
