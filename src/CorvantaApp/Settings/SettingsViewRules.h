#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace corvanta {

// The settings panel's rules and services for QML. Record arguments are the session model's
// values as QML sees them (its records, or plain objects with the same fields); undefined is
// absent. Styled results are {text, colorRole}.
class SettingsViewRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString nodeLicence READ nodeLicence CONSTANT)
    Q_PROPERTY(QString nodeRelease READ nodeRelease CONSTANT)
    Q_PROPERTY(QString appVersion READ appVersion CONSTANT)
    // Whether the build names a usage endpoint: without one there is no usage count to offer.
    Q_PROPERTY(bool usageCountOffered READ usageCountOffered CONSTANT)
    Q_PROPERTY(QUrl siteUrl READ siteUrl CONSTANT)
    Q_PROPERTY(QUrl supportUrl READ supportUrl CONSTANT)
    Q_PROPERTY(int performanceCoreCount READ performanceCoreCount CONSTANT)
    // The interface language's code.
    Q_PROPERTY(QString language READ languageCode NOTIFY languageChanged)
    // The object itself, announced anew when the interface language changes. Views call the
    // methods that answer with texts through it, so such a binding is evaluated again at once in
    // the new language (a bare read of a language property would be compiled away).
    Q_PROPERTY(corvanta::SettingsViewRules* texts READ texts NOTIFY languageChanged)

  public:
    explicit SettingsViewRules(QObject* parent = nullptr);
    SettingsViewRules* texts() { return this; }

    // {level, symbol, colorRole, detail}
    Q_INVOKABLE QVariantMap addressSafety(const QString& network, const QString& input) const;
    Q_INVOKABLE QVariantMap candidateSafety(const QVariant& validation, int runState) const;
    Q_INVOKABLE QVariantMap proofSafety(bool unreadable, int entryCount) const;

    Q_INVOKABLE QString thermalTitle(const QString& state) const;
    Q_INVOKABLE QString thermalTitleColorRole(const QString& state) const;
    Q_INVOKABLE QString thermalDetail(const QString& state) const;
    // [{lit, colorRole, label}] × 4
    Q_INVOKABLE QVariantList thermalSegments(const QString& state) const;

    Q_INVOKABLE QString workLoad(const QVariant& statistics) const;
    // `checkedAt` a date or undefined; `now` seconds since 1970.
    Q_INVOKABLE QVariantMap selfTest(const QVariant& verdict, const QVariant& checkedAt,
                                     double now) const;
    Q_INVOKABLE QString bits(const QVariant& bits) const;
    Q_INVOKABLE QString count(const QVariant& value) const;
    Q_INVOKABLE QString plainCount(const QVariant& value) const;
    // "1 transaction", "0 transactions"…: the count with the language's own singular or plural;
    // "—" for none.
    Q_INVOKABLE QString transactionCount(const QVariant& value) const;
    Q_INVOKABLE QString workerCount(int count) const;

    Q_INVOKABLE QVariantMap rpcLink(int linkState) const;
    Q_INVOKABLE QString nodeHash(const QString& hash) const;
    Q_INVOKABLE QString sizeOnDisk(const QVariant& bytes) const;

    // "verified", "unreadable" or "empty".
    Q_INVOKABLE QString ledgerIntegrity(const QVariant& verification, bool unreadable) const;
    Q_INVOKABLE QString firstIndices(const QVariant& indices) const;
    Q_INVOKABLE QString ledgerHash(const QString& hash) const;
    // {expected, text, colorRole}, or an empty map when the two rows are not shown.
    Q_INVOKABLE QVariantMap declaredCheck(const QVariant& verification) const;
    Q_INVOKABLE QString hashCount(const QVariant& exactText) const;
    // The ledger's declared hashes: "more than" the count when they add up past 64 bits.
    Q_INVOKABLE QString declaredHashes(const QVariant& verification) const;
    Q_INVOKABLE QString difficulty(const QVariant& value) const;
    Q_INVOKABLE QString oneIn(const QVariant& value) const;
    Q_INVOKABLE QString unreadableLedgerCaption() const;
    // What the ledger set aside or refused is given as the session model has it: the kind, the
    // ledger set aside, the refused journal line and the ledger in use.
    // {text, colorRole, intact}: the sheet's status line.
    Q_INVOKABLE QVariantMap ledgerStatus(const QVariant& verification, bool unreadable,
                                         const QString& kind, const QString& setAside,
                                         int refusedLine) const;
    // Which files, from which line, what the figures count, the checker command; "" for none.
    Q_INVOKABLE QString ledgerStoryCaption(const QString& kind, const QString& setAside,
                                           int refusedLine, const QString& ledgerFile) const;
    Q_INVOKABLE QString ledgerIntegrityRow(const QVariant& verification, const QString& kind,
                                           const QString& setAside, int refusedLine) const;

    // The network a file action acts on: the session's, else the selected one.
    Q_INVOKABLE QString networkInEffect(const QVariant& active, const QString& selected) const;
    Q_INVOKABLE QString proofLogFile(const QString& network) const;
    Q_INVOKABLE QString dataDirectory(const QString& network) const;
    Q_INVOKABLE QString time(const QVariant& moment) const;

    Q_INVOKABLE bool launchAtLoginEnabled() const;
    Q_INVOKABLE bool setLaunchAtLogin(bool enabled) const;
    Q_INVOKABLE QString languageCode() const;
    Q_INVOKABLE void setLanguageCode(const QString& code) const;

    QString nodeLicence() const;
    QString nodeRelease() const;
    QString appVersion() const;
    bool usageCountOffered() const;
    QUrl siteUrl() const;
    QUrl supportUrl() const;
    int performanceCoreCount() const;

  signals:
    void languageChanged();
};

}  // namespace corvanta
