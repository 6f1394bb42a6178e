#include "Shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

#include <unistd.h>

#include <algorithm>

namespace corvanta {
namespace {

const QByteArray kReopen = "reopen\n";
const QByteArray kReopenWith = "reopen ";
const QByteArray kTokenTaken = "ok token\n";
// A request line's longest: a startup id names the launcher, the host and the program.
constexpr qint64 kLineLimit = 512;

// A token as launchers make them: printable, without spaces; anything else is no token.
bool isToken(const QByteArray& token) {
    if (token.isEmpty() || token.size() > kLineLimit) return false;
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

// One request and its answer on a new connection; the answer line, empty when none came.
QByteArray ask(const QString& name, const QByteArray& line, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) return {};
    socket.write(line);
    if (!socket.waitForBytesWritten(timeoutMs)) return {};
    // The answer tells a live instance from a socket that merely accepted.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) return {};
    }
    return socket.readLine(kLineLimit);
}

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
                    if (socket->bytesAvailable() > kLineLimit) socket->abort();
                    return;
                }
                const QByteArray line = socket->readLine(kLineLimit + 1);
                const QByteArray token = line.startsWith(kReopenWith) && line.endsWith('\n')
                                             ? line.mid(kReopenWith.size()).chopped(1)
                                             : QByteArray();
                const bool withToken = isToken(token);
                socket->write(withToken ? kTokenTaken : QByteArray("ok\n"));
                socket->flush();
                socket->disconnectFromServer();
                if (withToken) {
                    emit reopenRequested(token);
                } else if (line == kReopen) {
                    emit reopenRequested(QByteArray());
                }
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
    return ask(name, kReopen, timeoutMs) == "ok\n";
}

bool SingleInstance::forwardReopen(const QString& name, const QByteArray& token, int timeoutMs) {
    if (!isToken(token)) return forwardReopen(name, timeoutMs);
    const QByteArray answer = ask(name, kReopenWith + token + '\n', timeoutMs);
    if (answer == kTokenTaken) return true;
    // An earlier version answers every line with "ok" and drops what it does not know.
    return answer == "ok\n" && forwardReopen(name, timeoutMs);
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
