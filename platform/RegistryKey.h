#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The two hives the context-menu registration uses.
enum class RegistryRoot { ClassesRoot, LocalMachine };

// "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE".
const char* RootName(RegistryRoot root);

struct RegistryValue {
  std::string name;  // empty for the key's default value
  std::string text;  // the data of a string value
  // The data of a value of another type (a number, bytes) exactly as the
  // registry file had it after "=", kept so that a rewrite preserves it.
  // Empty for a string value.
  std::string raw;
};

// One key of the registry: its values and subkeys. Names of keys and values
// compare without regard to ASCII case and keep the case they were made with.
// Subkeys are kept sorted by name. A tree of keys is held by one unnamed key
// whose subkeys are the hives.
class RegistryKey {
 public:
  explicit RegistryKey(std::string name = {}) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  const std::vector<RegistryValue>& Values() const { return values_; }
  const std::vector<RegistryKey>& SubKeys() const { return subkeys_; }

  const RegistryValue* Value(std::string_view name) const;
  // The data of the string value `name`; nullopt when it is missing or not a
  // string.
  std::optional<std::string> String(std::string_view name) const;
  void SetString(std::string_view name, std::string_view data);
  void SetRaw(std::string_view name, std::string_view raw);
  bool DeleteValue(std::string_view name);

  // The key at `path` ("A\B\C") below this one; null when missing. An empty
  // path is this key.
  const RegistryKey* Find(std::string_view path) const;
  RegistryKey* Find(std::string_view path);
  // Finds or creates the key at `path` and every missing key above it. Null
  // when `path` is not a valid key path (an empty name, a line break).
  RegistryKey* Create(std::string_view path);
  // Deletes the key at `path` with everything below it. False when missing.
  bool DeleteTree(std::string_view path);

  // The tree below this (unnamed) key as a REGEDIT4 text file: CR LF line
  // ends, one section per key, parents before children.
  std::string Format() const;
  // Reads a REGEDIT4 text into this (unnamed) key, replacing what it held.
  // False with `error` set when the text is not such a file; the key is then
  // empty.
  bool Parse(std::string_view text, std::string& error);

  static bool IsValidPath(std::string_view path);

 private:
  RegistryKey* Child(std::string_view name);
  const RegistryKey* Child(std::string_view name) const;
  RegistryValue* MutableValue(std::string_view name);
  void FormatInto(const std::string& path, std::string& out) const;

  std::string name_;
  std::vector<RegistryValue> values_;
  std::vector<RegistryKey> subkeys_;
};

}  // namespace platform
