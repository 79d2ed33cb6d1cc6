#include "app/ListColumns.h"

QString FormatSize(int64_t bytes, const QLocale& locale) {
  return locale.toString(static_cast<qlonglong>(bytes));
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}
