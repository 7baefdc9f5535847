#pragma once
// Small pieces shared by the offscreen tests: private directories and the
// Wine prefix as the program expects them, and commands (a fake `ping`)
// placed first on PATH.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace testsupport {

// Makes `path` (and its parents) and gives it to the owner alone (0700), as a
// runtime directory must be.
inline void MakePrivateDir(const QString& path) {
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Makes `root`/run a private runtime directory and points XDG_RUNTIME_DIR at
// it (the probes' result files go there); returns its path.
inline QString UsePrivateRuntimeDir(const QString& root) {
    const QString dir = QDir(root).filePath(QStringLiteral("run"));
    MakePrivateDir(dir);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
    return dir;
}

// Points WINEPREFIX at `root`/prefix; returns the path at which the panel
// looks for the scale database there.
inline QString UseWinePrefix(const QString& root) {
    const QString prefix = QDir(root).filePath(QStringLiteral("prefix"));
    qputenv("WINEPREFIX", QFile::encodeName(prefix));
    return prefix + QStringLiteral("/drive_c/Vadmo/PesagramVadmo/data/pxr2010_New.mdb");
}

// Writes the shell script `text` as the executable `dir`/`name`.
inline bool InstallCommand(const QString& dir, const QString& name, const QByteArray& text) {
    QDir().mkpath(dir);
    QFile f(QDir(dir).filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return false;
    f.close();
    return f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
}

// Puts `dir` first on PATH; returns the PATH it had before.
inline QByteArray PrependToPath(const QString& dir) {
    const QByteArray old = qgetenv("PATH");
    qputenv("PATH", (dir + QLatin1Char(':')).toUtf8() + old);
    return old;
}

} // namespace testsupport
