#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

// File names and messages are bytes everywhere behind the windows; these two
// convert at the windows' edge, the way the toolkit converts file names.

inline QString DecodeName(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

inline std::string EncodeName(const QString& text) { return QFile::encodeName(text).toStdString(); }
