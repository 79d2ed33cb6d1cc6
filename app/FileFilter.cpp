#include "app/FileFilter.h"

#include "app/FileName.h"
#include "storage/vlmOption.h"

std::string BuildFileFilter() {
  std::string filter;
  std::string masks;
  for (const TFileType& type : Options.FileTypes) {
    filter += type.Description + " (*." + type.Extension + ")|*." + type.Extension + "|";
    masks += "*." + type.Extension + ";";
  }
  if (!masks.empty()) masks.pop_back();
  return filter + "All Known Types (" + masks + ")|" + masks + "|Any File(*.*)|*.*";
}

QStringList NameFilters(const std::string& filter) {
  const QStringList parts = DecodeName(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString masks = i + 1 < parts.size() ? parts[i + 1] : QString();
    filters << parts[i] + QStringLiteral(" (") + QString(masks).replace(QLatin1Char(';'), ' ') +
                   QLatin1Char(')');
  }
  return filters;
}
