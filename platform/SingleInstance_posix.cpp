#include "SingleInstance.h"

#include "PrivateDirectory.h"

#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

struct TRaiseConnection {
    QLocalSocket socket;
    std::string title;
};

} // namespace

std::string UserFolderUnder(const std::string& base) {
    const std::string dir = base + "/painel-pesagram-" + std::to_string(geteuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), dir);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0)
        throw std::system_error(errno, std::generic_category(), dir);
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        throw std::system_error(EPERM, std::generic_category(),
                                dir + " is not a directory of this user");
    if ((st.st_mode & 0077) != 0 && chmod(dir.c_str(), 0700) != 0)
        throw std::system_error(errno, std::generic_category(), dir);
    return dir;
}

// The folder under /tmp is fixed (not $TMPDIR) so that every start of this
// user finds the same lock.
std::string InstanceDirectory() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && IsPrivateDirectory(xdg))
        return xdg;
    return UserFolderUnder("/tmp");
}

TAppMutex::TAppMutex(const std::string& name) {
    const std::string path = InstanceDirectory() + "/" + name;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), path);
    FHandle = fd;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return;
    const int err = errno;
    if (err == EWOULDBLOCK) {
        FLastError = err; // another process holds the lock
        return;
    }
    close(fd);
    FHandle = -1;
    throw std::system_error(err, std::generic_category(), path);
}

TAppMutex::~TAppMutex() {
    if (FHandle >= 0)
        close(static_cast<int>(FHandle)); // releases the lock, if this process held it
}

std::string RaiseChannelName() {
    return InstanceDirectory() + "/" + AppMutexName + "-" + std::to_string(geteuid()) + ".sock";
}

TWindowHandle FindTopLevelWindow(const std::string& title) {
    auto* conn = new TRaiseConnection;
    conn->title = title;
    conn->socket.connectToServer(QString::fromStdString(RaiseChannelName()));
    if (!conn->socket.waitForConnected(2000)) {
        delete conn;
        return nullptr;
    }
    return conn;
}

void SetForegroundWindow(TWindowHandle window) {
    auto* conn = static_cast<TRaiseConnection*>(window);
    if (!conn)
        return;
    const std::string line = RaiseRequestLine(conn->title) + "\n";
    conn->socket.write(line.data(), static_cast<qint64>(line.size()));
    conn->socket.waitForBytesWritten(2000);
    conn->socket.disconnectFromServer();
    if (conn->socket.state() != QLocalSocket::UnconnectedState)
        conn->socket.waitForDisconnected(2000);
}

void ReleaseWindowHandle(TWindowHandle window) {
    delete static_cast<TRaiseConnection*>(window);
}

} // namespace platform
