#include "SystemServices/Preferences.h"

#include <QDir>
#include <QStandardPaths>
#include <QTimeZone>

#include <charconv>
#include <nlohmann/json.hpp>

#include "SystemServices/SettingsFile.h"
#include "SystemServices/SettingsSaving.h"
#include "corvanta/support/IsoDate.h"

namespace corvanta {
namespace {

template <typename Integer>
std::optional<Integer> wholeNumber(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    // from_chars accepts a leading '-' for signed types only and never a '+' or blanks, which is
    // the canonical form; an empty text or trailing characters fail.
    Integer value{};
    const auto [end, error] = std::from_chars(first, last, value);
    if (bytes.isEmpty() || error != std::errc{} || end != last) return std::nullopt;
    if (bytes.size() > 1 && (bytes.startsWith('0') || bytes.startsWith("-0"))) return std::nullopt;
    return value;
}

// A settings file that is not a regular file and could not be moved is never opened: reading a
// FIFO blocks for ever. One that cannot be read is never saved over: the writer would replace the
// user's settings with the defaults. With no file name, reads find nothing and writes report
// failure.
QString readablePath(const QString& iniPath) {
    const auto outcome = checkSettingsFile(iniPath).outcome;
    return outcome == SettingsFileCheck::Outcome::unusable ||
                   outcome == SettingsFileCheck::Outcome::unreadable
               ? QString()
               : iniPath;
}

}  // namespace

QString Preferences::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Corvanta/Corvanta.conf");
}

Preferences::Preferences() : Preferences(defaultPath()) {}

Preferences::Preferences(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(readablePath(iniPath), QSettings::IniFormat)) {}

Preferences::Preferences(Preferences&&) noexcept = default;
Preferences& Preferences::operator=(Preferences&&) noexcept = default;
Preferences::~Preferences() = default;

QString Preferences::fileName() const {
    return settings_->fileName();
}

std::optional<QString> Preferences::saveProblem() const {
    if (settings_->fileName().isEmpty()) return std::nullopt;
    if (auto problem = settingsSaveProblem(settings_->fileName())) return problem;
    // What the file system did not foretell (a full disk, a folder made read-only since).
    if (settings_->status() == QSettings::AccessError) {
        return QStringLiteral("the last change could not be written");
    }
    return std::nullopt;
}

std::optional<QString> Preferences::string(const QString& key) const {
    const QVariant value = settings_->value(key);
    // A hand-written "a,b" comes back as a list, "@Variant(...)" as some other type: not text.
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString();
}

std::optional<bool> Preferences::boolean(const QString& key) const {
    const auto text = string(key);
    if (text == QLatin1String("true")) return true;
    if (text == QLatin1String("false")) return false;
    return std::nullopt;
}

std::optional<std::int64_t> Preferences::integer(const QString& key) const {
    const auto text = string(key);
    return text ? wholeNumber<std::int64_t>(*text) : std::nullopt;
}

std::optional<std::uint64_t> Preferences::unsignedInteger(const QString& key) const {
    const auto text = string(key);
    return text ? wholeNumber<std::uint64_t>(*text) : std::nullopt;
}

std::optional<QDateTime> Preferences::date(const QString& key) const {
    const auto text = string(key);
    if (!text) return std::nullopt;
    const auto seconds = parseIsoDate(text->toStdString());
    if (!seconds) return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(seconds->time_since_epoch().count(), QTimeZone::utc());
}

std::optional<QString> Preferences::json(const QString& key) const {
    const auto text = string(key);
    if (!text || !nlohmann::json::accept(text->toStdString())) return std::nullopt;
    return text;
}

bool Preferences::contains(const QString& key) const {
    return settings_->contains(key);
}

bool Preferences::setString(const QString& key, const QString& value) {
    return write(key, value);
}

bool Preferences::setBoolean(const QString& key, bool value) {
    return write(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool Preferences::setInteger(const QString& key, std::int64_t value) {
    return write(key, QString::number(value));
}

bool Preferences::setUnsignedInteger(const QString& key, std::uint64_t value) {
    return write(key, QString::number(value));
}

bool Preferences::setDate(const QString& key, const QDateTime& value) {
    if (!value.isValid()) return false;
    const auto instant =
        WallClock::time_point(std::chrono::milliseconds(value.toMSecsSinceEpoch()));
    return write(key, QString::fromStdString(formatIsoDate(instant)));
}

bool Preferences::setJson(const QString& key, const QString& jsonText) {
    const auto parsed = nlohmann::json::parse(jsonText.toStdString(), nullptr, false);
    if (parsed.is_discarded()) return false;
    return write(key, QString::fromStdString(parsed.dump()));
}

bool Preferences::remove(const QString& key) {
    settings_->remove(key);
    return synced();
}

bool Preferences::write(const QString& key, const QString& text) {
    settings_->setValue(key, text);
    return synced();
}

bool Preferences::synced() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

}  // namespace corvanta
