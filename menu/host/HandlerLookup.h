#pragma once

#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/RegistryKey.h"

// A context-menu handler as the registry names it.
struct THandlerEntry {
  std::string Name;         // the handler key's name ("Velmora")
  CLSID ClassId;            // the class it creates
  std::string LibraryPath;  // the in-process server that serves the class
};

// The context-menu handlers the shell uses for a selection: those registered
// for all files ("*") when it holds a file, then those for folders ("Folder")
// when it holds a folder; each class once, in the registry's order. A
// handler whose class identifier or server path cannot be found is left out
// and described in `problems`.
std::vector<THandlerEntry> FindContextMenuHandlers(const platform::RegistryKey& registry,
                                                   bool hasFiles, bool hasFolders,
                                                   std::vector<std::string>& problems);
