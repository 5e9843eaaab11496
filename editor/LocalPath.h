#pragma once
// Paths go to the file layer in the file system's own encoding, and file names made there come
// back to the windows the same way, so a name that is not valid UTF-8 still reaches its file.

#include <QFile>
#include <QString>
#include <string>

namespace korvale {

[[nodiscard]] inline std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

[[nodiscard]] inline QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

}  // namespace korvale
