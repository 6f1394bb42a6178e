#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

namespace corvanta {

// One application per user and support folder. The first launch listens on a local socket; a
// later one hands it "reopen", with the launcher's activation token when it has one, and exits.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // From the user id and the support folder, so two users, or one user's two support folders,
    // never meet.
    static QString socketName(const QString& supportDirectory);
    // Hands "reopen" to the instance listening on `name`; true when it took it.
    static bool forwardReopen(const QString& name, int timeoutMs = 2000);
    // The same with the launcher's activation token. An instance of an earlier version, which
    // knows only the bare request, gets that.
    static bool forwardReopen(const QString& name, const QByteArray& token, int timeoutMs = 2000);
    // Listens on `name`, taking over a socket left by an instance that died. False when another
    // instance answers there or the socket cannot be made (see errorString()).
    bool listen(const QString& name);
    QString errorString() const;

  signals:
    // `token` is the launcher's activation token, empty when the second launch had none.
    void reopenRequested(const QByteArray& token);

  private:
    std::unique_ptr<QLocalServer> server_;
    QString error_;
};

}  // namespace corvanta
