#pragma once

#include <QtQml/qqmlregistration.h>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>

#include "Shell/ShellRules.h"

class QQmlEngine;
class QJSEngine;

namespace corvanta {

// The folder that holds `path`, or the nearest of its parents that exists; empty when none does.
QString nearestExistingFolder(const QString& path);

// What the views ask of the desktop. The defaults reach the real one; tests replace each hook.
class Platform : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // "regular" or "accessory": the activation policy last applied (Linux has no Dock to act on).
    Q_PROPERTY(QString activationPolicy READ activationPolicyName NOTIFY activationPolicyChanged)
    // The desktop asks for less motion (its animation setting is off).
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY reduceMotionChanged)

  public:
    struct Hooks {
        std::function<bool(const QUrl&)> openUrl;
        // Asks the file manager to show `file` selected; false when none answers.
        std::function<void(const QString& file, std::function<void(bool shown)>)> showInFileManager;
        // Whether a file is there; the file system's answer when not set.
        std::function<bool(const QString& file)> fileExists;
        std::function<void(const QString&)> copyText;
        // Offers a text selected with the mouse where the desktop keeps one (the X primary
        // selection, pasted with a middle click).
        std::function<void(const QString&)> offerSelection;
        // Follows whether the desktop has animations off: the callback answers now and again
        // at every change, for as long as `owner` (the platform) lives.
        std::function<void(QObject& owner, std::function<void(bool reduce)>)> followReduceMotion;
    };

    // The desktop's own: the default browser, org.freedesktop.FileManager1 on the session bus,
    // the clipboard and its selection, the desktop's animation setting read and followed through
    // the settings portal, or in the desktop's own settings file where no portal answers.
    explicit Platform(QDBusConnection sessionBus, QObject* parent = nullptr);
    Platform(Hooks hooks, QObject* parent);
    static Hooks desktopHooks(QDBusConnection sessionBus);

    static Platform* create(QQmlEngine* engine, QJSEngine*);
    static void attach(QQmlEngine& engine, Platform& platform);

    Q_INVOKABLE bool openUrl(const QUrl& url);
    // Shows `file` in the file manager, or opens its folder when no file manager answers. A file
    // that is not there yet opens the nearest folder on its path that is.
    Q_INVOKABLE void revealFile(const QString& file);
    Q_INVOKABLE void copyText(const QString& text);
    Q_INVOKABLE void offerSelection(const QString& text);

    ActivationPolicy activationPolicy() const { return policy_; }
    QString activationPolicyName() const;
    void recordActivationPolicy(ActivationPolicy policy);
    bool reduceMotion() const { return reduceMotion_; }

    // The desktop's animation setting as a portal or settings file words it: GNOME's
    // "enable-animations" (false: reduce) or KDE's "AnimationDurationFactor" (0: reduce); none
    // for any other setting or a value of another type.
    static std::optional<bool> reduceMotionFrom(const QString& group, const QString& key,
                                                QVariant value);

  signals:
    void activationPolicyChanged();
    void reduceMotionChanged();

  private:
    void setReduceMotion(bool reduce);

    Hooks hooks_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    bool reduceMotion_ = false;
};

}  // namespace corvanta
