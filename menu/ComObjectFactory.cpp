#include "menu/ComObjectFactory.h"

#include <new>

TComObjectFactory::TComObjectFactory(TComServer& server, const CLSID& classId,
                                     std::string description, std::string threadingModel,
                                     TCreator create)
    : Server_(server),
      ClassID_(classId),
      Description_(std::move(description)),
      ThreadingModel_(std::move(threadingModel)),
      Create_(create) {}

HRESULT TComObjectFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TComObjectFactory::AddRef() {
  Server_.CountFactory(+1);
  return static_cast<ULONG>(Server_.FactoryCount()) + 1;
}

ULONG TComObjectFactory::Release() {
  Server_.CountFactory(-1);
  return static_cast<ULONG>(Server_.FactoryCount()) + 1;
}

HRESULT TComObjectFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  TComObject* made = nullptr;
  try {
    made = Create_(Server_, outer);
  } catch (...) {
    return E_UNEXPECTED;
  }
  if (made == nullptr) return E_UNEXPECTED;
  // The first reference makes the object; failing to take it frees it again.
  made->InnerUnknown()->AddRef();
  HRESULT hr =
      outer ? made->InnerUnknown()->QueryInterface(iid, object) : made->QueryInterface(iid, object);
  made->InnerUnknown()->Release();
  return hr;
}

HRESULT TComObjectFactory::LockServer(BOOL lock) {
  Server_.CountObject(lock ? +1 : -1);
  return S_OK;
}

void TComObjectFactory::CreateRegKey(platform::Registry& registry, const std::string& key,
                                     const std::string& valueName, const std::string& value) {
  if (!registry.SetString(platform::RegistryRoot::ClassesRoot, key, valueName, value)) {
    throw EOleRegistrationError("Error creating system registry entry");
  }
}

void TComObjectFactory::DeleteRegKey(platform::Registry& registry, const std::string& key) {
  registry.DeleteKey(platform::RegistryRoot::ClassesRoot, key);
}

void TComObjectFactory::UpdateShellRegistration(bool Register, platform::Registry& registry) {
  const std::string classKey = "CLSID\\" + ClassIDText();
  if (Register) {
    CreateRegKey(registry, classKey, "", Description_);
    // Linux paths need no short form: a blank in the path is written as it is.
    CreateRegKey(registry, classKey + "\\InprocServer32", "", TComServer::ServerFileName());
    CreateRegKey(registry, classKey + "\\InprocServer32", "ThreadingModel", ThreadingModel_);
  } else {
    DeleteRegKey(registry, classKey + "\\InprocServer32");
    DeleteRegKey(registry, classKey);
  }
}
