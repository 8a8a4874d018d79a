#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>

namespace varnelo {

Q_LOGGING_CATEGORY(lcInstance, "varnelo.instance")

namespace {

const char kLockName[] = "VarneloMutex";
const char kMarkName[] = "VarneloMainWindow";
const QByteArray kActivate = "activate\n";

// A fallback directory is only trusted when it is a real directory of ours that nobody
// else can enter.
bool IsPrivateDirectory(const QByteArray& path) {
    struct stat st {};
    if (lstat(path.constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

}  // namespace

QString InstanceDirectory() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith('/')) return QString::fromLocal8Bit(runtime);
    const QByteArray fallback =
        QDir::tempPath().toLocal8Bit() + "/varnelo-" + QByteArray::number(geteuid());
    mkdir(fallback.constData(), 0700);
    return IsPrivateDirectory(fallback) ? QString::fromLocal8Bit(fallback) : QString();
}

bool IsAlreadyRunning() {
    const QString dir = InstanceDirectory();
    if (dir.isEmpty()) return false;
    const QByteArray path = (dir + '/' + kLockName).toLocal8Bit();
    // O_CLOEXEC: programs we start (a browser) must not inherit the lock.
    const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qCDebug(lcInstance) << "lock file not usable, starting as first instance:" << path;
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return false;  // held until the process ends
    const bool heldByOther = errno == EWOULDBLOCK;
    close(fd);
    return heldByOther;
}

void ActivatePreviousInstance() {
    const QString dir = InstanceDirectory();
    if (dir.isEmpty()) return;
    QLocalSocket socket;
    socket.connectToServer(dir + '/' + kMarkName);
    if (!socket.waitForConnected(2000)) {
        qCDebug(lcInstance) << "no running instance answers:" << socket.errorString();
        return;
    }
    socket.write(kActivate);
    socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
}

InstanceMark::InstanceMark(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kActivate)) {
                    qCDebug(lcInstance) << "activation requested by a later start";
                    emit ActivationRequested();
                }
            });
        }
    });
}

bool InstanceMark::Listen() {
    const QString dir = InstanceDirectory();
    if (dir.isEmpty()) return false;
    const QString path = dir + '/' + kMarkName;
    // We hold the lock, so a socket file left here belongs to a dead instance.
    QLocalServer::removeServer(path);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const bool ok = server_->listen(path);
    if (!ok) qCDebug(lcInstance) << "cannot open the mark:" << server_->errorString();
    return ok;
}

}  // namespace varnelo
