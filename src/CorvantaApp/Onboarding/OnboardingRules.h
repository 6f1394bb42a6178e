#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
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

// A path as a wrapping text shows it: lines end only after a "/" (a zero-width space offered after
// each one, since "/.local" offers no break of its own), never at the other breaks the text's rules
// offer inside a name ("jean-|pierre", "y.|2": a word joiner holds them). Only a name wider than a
// line is then cut, anywhere. wrappedPathText() gives the path back from any part of it.
QString wrappablePath(const QString& path);
QString wrappedPathText(QString shown);

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
    // Where the application keeps its data, as the folder card shows it (wrappablePath()).
    Q_INVOKABLE QString supportDirectory() const;
    Q_INVOKABLE QString pathText(const QString& shown) const { return wrappedPathText(shown); }
    // Registers (or unregisters) the login item; false when the system refused.
    Q_INVOKABLE bool setLaunchAtLogin(bool enabled) const;
    Q_INVOKABLE bool launchAtLoginEnabled() const;

  signals:
    void languageChanged();
};

}  // namespace corvanta
