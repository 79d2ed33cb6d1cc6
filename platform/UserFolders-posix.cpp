#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/UserFolders.h"

namespace platform {

namespace {

// The variable's value when it is an absolute path, else empty; trailing
// slashes dropped.
std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  std::string path = value;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string UnderHome(const char* variable, const char* fallback) {
  std::string path = AbsoluteVariable(variable);
  if (!path.empty()) return path;
  std::string home = HomeFolder();
  if (home.back() != '/') home += '/';
  return home + fallback;
}

}  // namespace

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && *user->pw_dir) {
    return user->pw_dir;
  }
  return "/";
}

std::string ConfigHome() { return UnderHome("XDG_CONFIG_HOME", ".config"); }

std::string DataHome() { return UnderHome("XDG_DATA_HOME", ".local/share"); }

std::string RuntimeFolder() { return AbsoluteVariable("XDG_RUNTIME_DIR"); }

bool IsWritableFolder(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace platform
