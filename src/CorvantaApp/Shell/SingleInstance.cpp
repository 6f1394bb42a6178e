#include "Shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

#include <unistd.h>

namespace corvanta {
namespace {

const QByteArray kReopen = "reopen\n";

}  // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent), server_(std::make_unique<QLocalServer>()) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            const auto serve = [this, socket] {
                // Only a whole "reopen" line counts; anything else is dropped.
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 64) socket->abort();
                    return;
                }
                const QByteArray line = socket->readLine(64);
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
                if (line == kReopen) emit reopenRequested();
            };
            connect(socket, &QLocalSocket::readyRead, this, serve);
            // What arrived with the connection does not signal again.
            if (socket->bytesAvailable() > 0) serve();
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketName(const QString& supportDirectory) {
    const QByteArray digest = QCryptographicHash::hash(QDir::cleanPath(supportDirectory).toUtf8(),
                                                       QCryptographicHash::Sha256)
                                  .toHex()
                                  .left(16);
    return QStringLiteral("corvanta-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
}

bool SingleInstance::forwardReopen(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kReopen);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The answer tells a live instance from a socket that merely accepted.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    }
    return socket.readLine() == "ok\n";
}

bool SingleInstance::listen(const QString& name) {
    // Asked first: listening with access options puts a new socket in place of a live one.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        error_ = QStringLiteral("another instance answers on %1").arg(name);
        return false;
    }
    // Nobody answers: whatever is left there belongs to an instance that ended without removing it.
    QLocalServer::removeServer(name);
    if (server_->listen(name)) return true;
    error_ = server_->errorString();
    return false;
}

QString SingleInstance::errorString() const {
    return error_;
}

}  // namespace corvanta
