// Inside the class library only: file names keep the file system's own bytes and cross the Qt
// boundary the way Qt itself converts file names, so that a name a file manager shows is the name
// the file system holds. Other texts cross as Latin-1 (QtText.h).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace classlib {

inline QString FileNameToQt(const std::string& Name) {
  return QFile::decodeName(QByteArray(Name.data(), static_cast<qsizetype>(Name.size())));
}

inline std::string FileNameFromQt(const QString& Name) {
  return QFile::encodeName(Name).toStdString();
}

}  // namespace classlib
