#include "app/ListColumns.h"

QString FormatSize(int64_t bytes, const QLocale& locale) {
  return locale.toString(static_cast<qlonglong>(bytes));
}

