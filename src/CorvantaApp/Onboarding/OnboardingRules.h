#pragma once

#include <QtQml/qqmlregistration.h>
#include <QFont>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace corvanta {

// One run of a title: the text between "**" markers is accented.
struct TextSegment {
    QString text;
    bool accented = false;
    bool operator==(const TextSegment&) const = default;
};

// Splits at every "**", keeping empty pieces; odd pieces are accented, so everything after an
// unmatched marker is accented too. The markers themselves are dropped.
std::vector<TextSegment> accentSegments(const QString& text);

// What the address step shows for the typed text on a network (its raw name). `colorRole` names
// the Theme colour of the hint: "warningText", "dangerText" or "successText".
struct AddressState {
    bool isValid = false;
    QString hint;
    QString colorRole;
    bool operator==(const AddressState&) const = default;
};
AddressState addressState(const QString& network, const QString& addressInput);

// Whether the flow's "Suivant" lets the user leave `step` (0 intro … 4 awake): always, except on
// the address step, where an empty text passes only on regtest and any other must resolve.
bool canAdvance(int step, const QString& network, const QString& addressInput);

// The flow's rules and services for QML.
class OnboardingRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The object itself, announced anew when the interface language changes. Views call the
    // methods that answer with texts through it, so such a binding is evaluated again at once in
    // the new language (a bare read of a language property would be compiled away).
    Q_PROPERTY(corvanta::OnboardingRules* texts READ texts NOTIFY languageChanged)

  public:
    explicit OnboardingRules(QObject* parent = nullptr);
    OnboardingRules* texts() { return this; }

    // [{text, accented}, …]
    Q_INVOKABLE QVariantList accentSegments(const QString& text) const;
    // {isValid, hint, colorRole}
    Q_INVOKABLE QVariantMap addressState(const QString& network, const QString& input) const;
    Q_INVOKABLE bool canAdvance(int step, const QString& network, const QString& input) const;
    // Where the application keeps its data.
    Q_INVOKABLE QString supportDirectory() const;
    // A path's lines in `font`, `width` wide, and the path between two positions of those lines
    // joined by "\n" (PathLines.h).
    Q_INVOKABLE QStringList pathLines(const QString& path, const QFont& font, qreal width) const;
    Q_INVOKABLE QString pathBetween(const QStringList& lines, int from, int to) const;
    // Registers (or unregisters) the login item; false when the system refused.
    Q_INVOKABLE bool setLaunchAtLogin(bool enabled) const;
    Q_INVOKABLE bool launchAtLoginEnabled() const;

  signals:
    void languageChanged();
};

}  // namespace corvanta
