#pragma once

#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "SystemServices/QtFileName.h"

namespace corvanta {

// The one store of the "rigwell." preferences: an INI file, by default
// $XDG_CONFIG_HOME/Corvanta/Corvanta.conf in the user's own folders (userFolders.h: HOME's bytes
// as they stand, a relative value passed over). INI holds only text, so every read is strict and a
// value not written in its one canonical form reads as absent: a Boolean is exactly "true" or
// "false", a number whole decimal text, a date ISO 8601 UTC ("2026-01-02T03:04:05Z"), JSON
// compact JSON text. Each write is synced to disk at once; a write that could not be saved
// returns false, and holds in memory until a later write is saved with it. A copy is one more
// handle onto the same store: what one writes, the others read, and every write counts for the
// saving all of them report. Used from the GUI thread.
class Preferences {
  public:
    // The user's settings file, defaultFile().
    Preferences();
    explicit Preferences(const QString& iniPath);
    explicit Preferences(QtFileName iniFile);
    Preferences(const Preferences&);
    Preferences& operator=(const Preferences&);
    Preferences(Preferences&&) noexcept;
    Preferences& operator=(Preferences&&) noexcept;
    ~Preferences();

    // $XDG_CONFIG_HOME/Corvanta/Corvanta.conf; names nothing when the user has no home.
    // Opening it first checks it (SettingsFile.h).
    static QtFileName defaultFile();
    // The file's name as Qt takes it; empty when the store reads and writes no file.
    QString fileName() const;
    // The file as people read it, also when it is not opened; its bare name without a place.
    QString shownFileName() const;
    // No change can reach the file and nothing was read from it, for as long as the store
    // lives: the file cannot be read (it is kept as it is, never saved over), could not be used,
    // or has no place. Its check said why (SettingsFile.h).
    bool keepsNothing() const;
    // Why the changes made cannot be saved to the file, for as long as they cannot: they hold
    // only in memory. Foreseen when the store is opened (SettingsSaving.h), then what the latest
    // write met, whoever made it: a write that is saved ends it, the changes made meanwhile
    // saved with it. None for a file that was not opened at all (unreadable, or unusable and left
    // in place), which its check has already named.
    std::optional<QString> saveProblem() const;
    // Calls `followed` whenever saveProblem() begins or ends, while `context` lives.
    void followSaving(const QObject* context, std::function<void()> followed) const;

    std::optional<QString> string(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    std::optional<std::int64_t> integer(const QString& key) const;
    std::optional<std::uint64_t> unsignedInteger(const QString& key) const;
    std::optional<QDateTime> date(const QString& key) const;
    // The stored JSON text, when it parses as JSON.
    std::optional<QString> json(const QString& key) const;
    bool contains(const QString& key) const;

    bool setString(const QString& key, const QString& value);
    bool setBoolean(const QString& key, bool value);
    bool setInteger(const QString& key, std::int64_t value);
    bool setUnsignedInteger(const QString& key, std::uint64_t value);
    // Stored in UTC, whole seconds. An invalid date stores nothing.
    bool setDate(const QString& key, const QDateTime& value);
    // `jsonText` must parse as JSON; it is stored compact. Malformed text stores nothing.
    bool setJson(const QString& key, const QString& jsonText);
    bool remove(const QString& key);

  private:
    struct Store;

    bool write(const QString& key, const QString& text);
    bool synced();

    std::shared_ptr<Store> store_;
};

// Tells the handles' followers that the saving of their store began or ceased to fail.
class PreferencesSaving : public QObject {
    Q_OBJECT

  signals:
    void problemChanged();
};

}  // namespace corvanta
