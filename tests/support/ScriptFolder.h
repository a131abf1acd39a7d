#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace flowtally {

// A temporary folder that holds small shell scripts standing in for tools.
class ScriptFolder {
  public:
    // Writes "#!/bin/sh" and the body to a file of that name and makes it
    // executable unless asked not to. Returns the file's absolute path.
    QString write(const QString &name, const QString &body, bool executable = true) {
        QFile file(filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write("#!/bin/sh\n" + body.toUtf8() + '\n');
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                            (executable ? QFile::ExeOwner : QFile::Permissions()));
        return file.fileName();
    }
    QString path() const { return folder_.path(); }
    QString filePath(const QString &name) const { return folder_.filePath(name); }

  private:
    QTemporaryDir folder_;
};

} // namespace flowtally
