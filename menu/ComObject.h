#pragma once

#include <atomic>

#include "menu/ComServer.h"
#include "platform/Com.h"

// Base of the library's objects: reference counting, QueryInterface over the
// interfaces the object answers (see Interface) and ISupportErrorInfo for
// them. An object is one live object of its server from construction to
// destruction.
//
// Aggregation: an object made with a controlling outer object hands every
// IUnknown call on its interfaces to that outer object, and the outer object
// holds it through InnerUnknown(), which never delegates.
//
// Objects start with no reference; the creator takes the first one through
// QueryInterface (or InnerUnknown()->QueryInterface when aggregated), and the
// last Release destroys the object.
class TComObject : public ISupportErrorInfo {
 public:
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // S_OK for every interface the object answers, S_FALSE for the others.
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

  // The object's own IUnknown, which never delegates.
  IUnknown* InnerUnknown() { return &Inner_; }

 protected:
  TComObject(TComServer& server, IUnknown* controller);
  virtual ~TComObject();

  // The object's interface `iid` without a new reference, or null. The base
  // answers IUnknown and ISupportErrorInfo; subclasses add theirs.
  virtual void* Interface(REFIID iid);

 private:
  class TInnerUnknown final : public IUnknown {
   public:
    explicit TInnerUnknown(TComObject& owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

   private:
    TComObject& owner_;
  };

  TComServer& Server_;
  IUnknown* Controller_;  // null unless aggregated; not counted
  TInnerUnknown Inner_;
  std::atomic<ULONG> RefCount_{0};
};
