#pragma once

// The thread's error object: how a component that fails tells its caller why,
// beyond the result code. The state lives in one shared library (vlmcom) that
// a host and every extension it loads link against, so an error object set
// inside an extension is seen by the host. Error objects are implemented here
// too, so they stay valid after the extension that made one is unloaded.

#include "platform/Com.h"

#if defined(VLMCOM_BUILD)
#define VLMCOM_API __attribute__((visibility("default")))
#else
#define VLMCOM_API
#endif

// Replaces the calling thread's error object by `info` (null clears it),
// taking a reference to it. `reserved` must be 0.
VLMCOM_API HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);

// Hands the calling thread's error object to the caller, who must Release it,
// and clears it. S_FALSE with *info null when there is none.
VLMCOM_API HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);

// A new error object with `description`, one reference held by the caller.
VLMCOM_API HRESULT CreateErrorInfo(LPCSTR description, IErrorInfo** info);

// Sets the thread's error object to a new one with `description`.
VLMCOM_API void SetErrorDescription(const std::string& description);

// Takes the thread's error object and returns its description; empty when
// there was none.
VLMCOM_API std::string TakeErrorDescription();
