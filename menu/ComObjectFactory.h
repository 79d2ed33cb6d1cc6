#pragma once

#include <string>

#include "menu/ComObject.h"
#include "platform/Com.h"
#include "platform/Exception.h"
#include "platform/Registry.h"

// A key or value of a class registration cannot be written.
class EOleRegistrationError : public Exception {
 public:
  using Exception::Exception;
};

// The generic class factory of the library: it keeps the registration record
// of one class, creates its objects and writes its class keys. The library
// owns the factory for its whole life; references that callers take through
// QueryInterface and AddRef count in the server and never destroy it.
class TComObjectFactory : public IClassFactory {
 public:
  // Makes a new object of the class with no reference yet; may throw.
  using TCreator = TComObject* (*)(TComServer& server, IUnknown* controller);

  TComObjectFactory(TComServer& server, const CLSID& classId, std::string description,
                    std::string threadingModel, TCreator create);
  virtual ~TComObjectFactory() = default;
  TComObjectFactory(const TComObjectFactory&) = delete;
  TComObjectFactory& operator=(const TComObjectFactory&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // Every call makes a new object. With an outer object only IUnknown may be
  // asked for (CLASS_E_NOAGGREGATION otherwise); E_UNEXPECTED when making
  // the object fails.
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  // A server lock counts like a live object.
  HRESULT LockServer(BOOL lock) override;

  // Register: writes the class key with the description and its in-process
  // server key with the library's path and threading model. Otherwise
  // deletes those two keys, ignoring keys that are missing or refuse.
  // Raises EOleRegistrationError when a key or value cannot be written.
  virtual void UpdateShellRegistration(bool Register, platform::Registry& registry);

  const CLSID& ClassID() const { return ClassID_; }
  const std::string& Description() const { return Description_; }
  // The class identifier as the registry holds it.
  std::string ClassIDText() const { return GuidToString(ClassID_); }

 protected:
  // Sets the string value `valueName` of `key` under the classes root,
  // creating the key when missing. Raises EOleRegistrationError.
  static void CreateRegKey(platform::Registry& registry, const std::string& key,
                           const std::string& valueName, const std::string& value);
  // Deletes `key` under the classes root; failures are ignored.
  static void DeleteRegKey(platform::Registry& registry, const std::string& key);

  TComServer& Server_;

 private:
  CLSID ClassID_;
  std::string Description_;
  std::string ThreadingModel_;
  TCreator Create_;
};
