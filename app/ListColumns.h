#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <string>

// The texts of the main window's list columns, from a full path or a size.

// A size in bytes as a whole number with the locale's thousands separator
// and no decimals (12345 is "12,345" where the separator is a comma).
QString FormatSize(int64_t bytes, const QLocale& locale = QLocale());

