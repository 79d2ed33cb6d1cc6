#include "menu/host/ShellCommand.h"

#include <cstdlib>
#include <filesystem>

#include "menu/host/ExtensionLibrary.h"
#include "menu/host/ShellContextMenu.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/InstallLayout.h"
#include "platform/Registry.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"

namespace {

constexpr char kUsage[] =
    "usage: vlm-shell register [LIBRARY]\n"
    "       vlm-shell unregister [LIBRARY]\n"
    "       vlm-shell query [--flags N] [--] PATH...\n"
    "       vlm-shell invoke [--notify] [--] PATH...\n"
    "       vlm-shell where\n";

constexpr char kProtectItem[] = "&Protect Images";

int Usage(std::ostream& err) {
  err << kUsage;
  return 2;
}

// The menu.so installed with this program.
std::string DefaultLibrary() { return platform::CurrentInstallLayout().Library + "/menu.so"; }

// What went wrong on the way, said on standard error at once and, when the
// user asked for it, to the user in one notification at the end.
class Report {
 public:
  Report(std::ostream& err, Notifier* notifier) : err_(err), notifier_(notifier) {}
  ~Report() {
    if (notifier_ != nullptr && !text_.empty()) notifier_->Notify(text_);
  }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  void Failure(const std::string& message) {
    err_ << "vlm-shell: " << message << "\n";
    if (!text_.empty()) text_ += "\n";
    text_ += message;
  }

 private:
  std::ostream& err_;
  Notifier* notifier_;
  std::string text_;
};

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
// "/". A path that names nothing (any more) is left out with a message, as
// the program itself ignores it; the rest goes on.
std::vector<std::string> SelectionFrom(const std::vector<std::string>& arguments, size_t first,
                                       Report& report) {
  std::vector<std::string> paths;
  for (size_t i = first; i < arguments.size(); ++i) {
    std::string path = std::filesystem::absolute(arguments[i]).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!platform::FileExists(path) && !platform::DirectoryExists(path)) {
      report.Failure("\"" + PrintablePath(arguments[i]) + "\" does not exist; it is left out.");
      continue;
    }
    paths.push_back(path);
  }
  return paths;
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
            std::ostream& err, Notifier& notifier) {
  size_t first = 1;
  UINT flags = CMF_NORMAL;
  bool notify = false;
  for (; first < arguments.size(); ++first) {
    const std::string& option = arguments[first];
    if (!invoke && option == "--flags") {
      if (first + 1 >= arguments.size() || !ParseFlags(arguments[first + 1], flags)) {
        return Usage(err);
      }
      ++first;
    } else if (invoke && option == "--notify") {
      notify = true;
    } else if (option == "--") {
      ++first;
      break;
    } else {
      break;
    }
  }
  if (arguments.size() <= first) return Usage(err);
  Report report(err, notify ? &notifier : nullptr);
  const std::vector<std::string> paths = SelectionFrom(arguments, first, report);
  if (paths.empty()) {
    report.Failure("Nothing to protect: none of the selected items exists.");
    return 1;
  }

  platform::RegistryKey registry;
  try {
    registry = platform::Registry(platform::Registry::DefaultPath()).Read();
  } catch (const Exception& error) {
    report.Failure(error.what());
    return 1;
  }
  std::vector<std::string> problems;
  TShellContextMenu menu(registry, paths, flags, problems);
  for (const auto& problem : problems) report.Failure(problem);

  if (!invoke) {
    for (const auto& item : menu.Items()) out << item.Text << "\t" << item.HelpText << "\n";
    return 0;
  }
  for (const auto& item : menu.Items()) {
    if (item.Text != kProtectItem) continue;
    const HRESULT hr = menu.Invoke(item);
    if (FAILED(hr)) {
      report.Failure("\"" + std::string(kProtectItem) + "\" " + FailureText(hr));
      return 1;
    }
    return 0;
  }
  // Without problems the handler turned the selection down: it holds no
  // folder and no page of a listed type.
  if (problems.empty()) {
    report.Failure("the selection has no \"" + std::string(kProtectItem) +
                   "\" item: it holds no folder and no page whose extension is in the file-type "
                   "list of vlm.ini.");
  } else {
    report.Failure("the selection has no \"" + std::string(kProtectItem) + "\" item.");
  }
  return 1;
}

int Where(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 1) return Usage(err);
  out << "options\t" << GetOptionsFile() << "\n"
      << "backups\t" << GetBackupDir() << "\n"
      << "hand-off\t" << GetHandOffFile() << "\n";
  return 0;
}

}  // namespace

int RunShellCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    Notifier& notifier) {
  if (arguments.empty()) return Usage(err);
  const std::string& command = arguments[0];
  if (command == "register" || command == "unregister") {
    return UpdateRegistration(command == "register", arguments, out, err);
  }
  if (command == "query" || command == "invoke") {
    return RunMenu(command == "invoke", arguments, out, err, notifier);
  }
  if (command == "where") return Where(arguments, out, err);
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  return Usage(err);
}
