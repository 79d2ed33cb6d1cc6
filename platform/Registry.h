#pragma once

#include <functional>
#include <string>

#include "platform/RegistryKey.h"

namespace platform {

// The registry of keys and values that extensions register themselves in,
// kept as a REGEDIT4 text file. Every change reads the file, applies itself
// and writes a new file that replaces the old one in one step, under a lock
// that serialises writers of the same file across processes; a reader
// therefore always sees a whole file. A missing file is an empty registry.
//
// The changing operations are virtual so that a test can refuse some of them
// the way a system refuses a user without the rights to a hive.
class Registry {
 public:
  // The registry in the file at `path`, which need not exist yet.
  explicit Registry(std::string path) : path_(std::move(path)) {}
  virtual ~Registry() = default;

  // The user's registry: $VLM_REGISTRY when set, otherwise
  // $XDG_CONFIG_HOME/velmora/registry.reg (XDG_CONFIG_HOME defaulting to
  // ~/.config).
  static std::string DefaultPath();

  const std::string& Path() const { return path_; }

  // The keys as they are now, one unnamed key holding the hives. Raises
  // EStreamError when the file cannot be read or is not a registry file.
  RegistryKey Read() const;

  // Each returns false with errno set when the registry cannot be read or
  // written, or when the change is refused; the file is then unchanged.
  // Creates `key` below `root` and every missing key above it.
  virtual bool CreateKey(RegistryRoot root, const std::string& key);
  // Creates `key` when missing and sets its string value `name` ("" for the
  // default value) to `data`.
  virtual bool SetString(RegistryRoot root, const std::string& key, const std::string& name,
                         const std::string& data);
  // Deletes `key`, which must exist (ENOENT) and have no subkeys (ENOTEMPTY).
  virtual bool DeleteKey(RegistryRoot root, const std::string& key);

 private:
  // Runs `change` on the whole tree under the writers' lock and saves the
  // result when it returns true.
  bool Update(const std::function<bool(RegistryKey&)>& change);

  std::string path_;
};

}  // namespace platform
