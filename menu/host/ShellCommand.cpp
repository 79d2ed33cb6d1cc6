#include "menu/host/ShellCommand.h"

#include <cstdlib>
#include <filesystem>

#include "menu/host/ExtensionLibrary.h"
#include "menu/host/ShellContextMenu.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/ModulePath.h"
#include "platform/Registry.h"

namespace {

constexpr char kUsage[] =
    "usage: vlm-shell register [LIBRARY]\n"
    "       vlm-shell unregister [LIBRARY]\n"
    "       vlm-shell query [--flags N] PATH...\n"
    "       vlm-shell invoke PATH...\n";

constexpr char kProtectItem[] = "&Protect Images";

int Usage(std::ostream& err) {
  err << kUsage;
  return 2;
}

std::string DefaultLibrary() {
  const std::filesystem::path self = platform::ModulePath();
  return (self.parent_path() / "menu.so").string();
}

int UpdateRegistration(bool Register, const std::vector<std::string>& arguments, std::ostream& out,
                       std::ostream& err) {
  if (arguments.size() > 2) return Usage(err);
  const std::string path =
      std::filesystem::absolute(arguments.size() == 2 ? arguments[1] : DefaultLibrary()).string();
  const char* entry = Register ? "DllRegisterServer" : "DllUnregisterServer";
  std::unique_ptr<ExtensionLibrary> library;
  try {
    library = ExtensionLibrary::Load(path);
  } catch (const Exception& error) {
    err << "vlm-shell: " << error.what() << "\n";
    return 1;
  }
  const HRESULT hr = Register ? library->RegisterServer() : library->UnregisterServer();
  if (FAILED(hr)) {
    err << "vlm-shell: " << entry << " in " << path << " " << FailureText(hr) << "\n";
    return 1;
  }
  out << entry << " in " << path << " succeeded.\n";
  return 0;
}

// The selection as a shell gives it: full paths, folders without a trailing
// "/". False (with a message) when a path names nothing.
bool SelectionFrom(const std::vector<std::string>& arguments, size_t first,
                   std::vector<std::string>& paths, std::ostream& err) {
  for (size_t i = first; i < arguments.size(); ++i) {
    std::string path = std::filesystem::absolute(arguments[i]).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!platform::FileExists(path) && !platform::DirectoryExists(path)) {
      err << "vlm-shell: " << arguments[i] << ": no such file or folder\n";
      return false;
    }
    paths.push_back(path);
  }
  return true;
}

bool ParseFlags(const std::string& text, UINT& flags) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (*end != '\0' || value > 0xFFFFFFFFul) return false;
  flags = static_cast<UINT>(value);
  return true;
}

int RunMenu(bool invoke, const std::vector<std::string>& arguments, std::ostream& out,
            std::ostream& err) {
  size_t first = 1;
  UINT flags = CMF_NORMAL;
  if (!invoke && arguments.size() > 1 && arguments[1] == "--flags") {
    if (arguments.size() < 3 || !ParseFlags(arguments[2], flags)) return Usage(err);
    first = 3;
  }
  if (arguments.size() <= first) return Usage(err);
  std::vector<std::string> paths;
  if (!SelectionFrom(arguments, first, paths, err)) return 2;

  platform::RegistryKey registry;
  try {
    registry = platform::Registry(platform::Registry::DefaultPath()).Read();
  } catch (const Exception& error) {
    err << "vlm-shell: " << error.what() << "\n";
    return 1;
  }
  std::vector<std::string> problems;
  TShellContextMenu menu(registry, paths, flags, problems);
  for (const auto& problem : problems) err << "vlm-shell: " << problem << "\n";

  if (!invoke) {
    for (const auto& item : menu.Items()) out << item.Text << "\t" << item.HelpText << "\n";
    return 0;
  }
  for (const auto& item : menu.Items()) {
    if (item.Text != kProtectItem) continue;
    const HRESULT hr = menu.Invoke(item);
    if (FAILED(hr)) {
      err << "vlm-shell: \"" << kProtectItem << "\" " << FailureText(hr) << "\n";
      return 1;
    }
    return 0;
  }
  err << "vlm-shell: the selection has no \"" << kProtectItem << "\" item\n";
  return 1;
}

}  // namespace

int RunShellCommand(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err) {
  if (arguments.empty()) return Usage(err);
  const std::string& command = arguments[0];
  if (command == "register" || command == "unregister") {
    return UpdateRegistration(command == "register", arguments, out, err);
  }
  if (command == "query" || command == "invoke") {
    return RunMenu(command == "invoke", arguments, out, err);
  }
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  return Usage(err);
}
