// The library's entry: what happens when it is loaded and unloaded, and its
// four exports. No exception leaves an export; failures come back as result
// codes with their description in the thread's error object.

#include <memory>

#include "menu/ComServer.h"
#include "menu/ContextMenuFactory.h"
#include "menu/Export.h"
#include "platform/ErrorInfo.h"
#include "platform/Registry.h"
#include "storage/vlmOption.h"

namespace {

// The library's state, made once on the first call of any export, on the
// calling thread: the server object, then the options, then the one factory.
// When the options cannot be read the library refuses to serve: every export
// fails and sets the reason as the caller's error object. Destroyed when the
// library is unloaded, the factory before the server.
//
// Made on first use rather than by a load-time constructor, because the
// options record and what reads it live in other translation units whose own
// initialisation is not ordered before such a constructor.
struct TLibrary {
  TLibrary() {
    try {
      Server = std::make_unique<TComServer>();
      LoadOptions();
      Factory = std::make_unique<TContextMenuFactory>(*Server);
    } catch (const std::exception& error) {
      Factory.reset();
      Server.reset();
      LoadError = error.what();
    }
  }
  std::unique_ptr<TComServer> Server;
  std::unique_ptr<TContextMenuFactory> Factory;
  std::string LoadError;  // why the options could not be read
};

TLibrary& Library() {
  static TLibrary library;
  return library;
}

// The factory, or null after a failed load (the reason then set as the
// thread's error object).
TContextMenuFactory* Factory() {
  TLibrary& library = Library();
  if (!library.Factory) SetErrorDescription(library.LoadError);
  return library.Factory.get();
}

HRESULT UpdateRegistration(bool Register) {
  TContextMenuFactory* factory = Factory();
  // Taking the handler off the menus needs no options, so a library whose
  // options cannot be read can still be unregistered, with a factory made
  // for the purpose.
  TComServer spareServer;
  std::unique_ptr<TContextMenuFactory> spare;
  if (factory == nullptr) {
    if (Register) return E_UNEXPECTED;
    TakeErrorDescription();
    spare = std::make_unique<TContextMenuFactory>(spareServer);
    factory = spare.get();
  }
  try {
    platform::Registry registry(platform::Registry::DefaultPath());
    factory->UpdateShellRegistration(Register, registry);
    return S_OK;
  } catch (const std::exception& error) {
    SetErrorDescription(error.what());
    return E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace

VLM_EXPORT HRESULT DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  TContextMenuFactory* factory = Factory();
  if (factory == nullptr) return E_UNEXPECTED;
  if (classId != factory->ClassID()) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(iid, object);
}

VLM_EXPORT HRESULT DllCanUnloadNow() {
  const TComServer* server = Library().Server.get();
  return server == nullptr || server->CanUnloadNow() ? S_OK : S_FALSE;
}

VLM_EXPORT HRESULT DllRegisterServer() { return UpdateRegistration(true); }

VLM_EXPORT HRESULT DllUnregisterServer() { return UpdateRegistration(false); }
