#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace varnelo {

// True when another instance of the program holds the per-user lock "VarneloMutex".
// The first caller keeps the lock until its process ends; the kernel drops it when the
// process dies, so a crashed instance never blocks the next start. A lock that cannot
// be taken for any other reason lets this process start as the first instance.
bool IsAlreadyRunning();

// Asks the running instance, through its mark "VarneloMainWindow", to bring its main
// window forward. Does nothing when nobody listens (the first instance is still
// starting or is ending).
void ActivatePreviousInstance();

// The running instance's side of the handshake: a per-user local socket on which later
// starts ask for activation.
class InstanceMark : public QObject {
    Q_OBJECT
  public:
    explicit InstanceMark(QObject* parent = nullptr);
    bool Listen();

  signals:
    void ActivationRequested();

  private:
    QLocalServer* server_;
};

// The per-user directory holding the lock and the socket: $XDG_RUNTIME_DIR, or a private
// directory under the temporary directory.
QString InstanceDirectory();

}  // namespace varnelo
