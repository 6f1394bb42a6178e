#include "corvanta/app/SingleInstance.h"

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
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
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
            });
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
    if (server_->listen(name)) return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) return false;
    // Nobody answers: a socket left behind by an instance that ended without removing it.
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

QString SingleInstance::errorString() const {
    return server_->errorString();
}

}  // namespace corvanta
