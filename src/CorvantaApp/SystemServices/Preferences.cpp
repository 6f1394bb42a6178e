#include "SystemServices/Preferences.h"

#include <QFile>
#include <QTimeZone>

#include <charconv>
#include <nlohmann/json.hpp>

#include "SystemServices/SettingsFile.h"
#include "SystemServices/SettingsSaving.h"
#include "corvanta/support/IsoDate.h"
#include "corvanta/support/UserFolders.h"

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

QtFileName Preferences::defaultFile() {
    const auto config = userFolders::configHome();
    return config ? QtFileName(*config / "Corvanta" / "Corvanta.conf") : QtFileName();
}

struct Preferences::Store {
    explicit Store(QtFileName iniFile)
        : file(std::move(iniFile)),
          settings(readablePath(file.name()), QSettings::IniFormat),
          problem(settingsSaveProblem(settings.fileName())) {}

    QtFileName file;
    // Holds every handle's changes, saved or not, for as long as the store lives.
    QSettings settings;
    std::optional<QString> problem;
    PreferencesSaving saving;
};

Preferences::Preferences() : Preferences(defaultFile()) {}

Preferences::Preferences(const QString& iniPath)
    : Preferences(QtFileName(QFile::encodeName(iniPath).toStdString())) {}

Preferences::Preferences(QtFileName iniFile)
    : store_(std::make_shared<Store>(std::move(iniFile))) {}

Preferences::Preferences(const Preferences&) = default;
Preferences& Preferences::operator=(const Preferences&) = default;
Preferences::Preferences(Preferences&&) noexcept = default;
Preferences& Preferences::operator=(Preferences&&) noexcept = default;
Preferences::~Preferences() = default;

QString Preferences::fileName() const {
    return store_->settings.fileName();
}

QString Preferences::shownFileName() const {
    if (store_->file.path().empty()) return QStringLiteral("Corvanta.conf");
    return store_->file.shown();
}

bool Preferences::keepsNothing() const {
    return store_->settings.fileName().isEmpty();
}

std::optional<QString> Preferences::saveProblem() const {
    return store_->problem;
}

void Preferences::followSaving(const QObject* context, std::function<void()> followed) const {
    QObject::connect(&store_->saving, &PreferencesSaving::problemChanged, context,
                     std::move(followed));
}

std::optional<QString> Preferences::string(const QString& key) const {
    const QVariant value = store_->settings.value(key);
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
    return store_->settings.contains(key);
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
    store_->settings.remove(key);
    return synced();
}

bool Preferences::write(const QString& key, const QString& text) {
    store_->settings.setValue(key, text);
    return synced();
}

bool Preferences::synced() {
    const QString path = store_->settings.fileName();
    if (path.isEmpty()) return false;
    // A QSettings keeps the first error it met for good, so each save is asked of a new one over
    // the same file: it shares the store's changes, writes them all, and says how this write went.
    QSettings writer(path, QSettings::IniFormat);
    writer.sync();
    const bool saved = writer.status() == QSettings::NoError;
    std::optional<QString> problem;
    if (!saved) {
        // What the file system did not foretell (a full disk) has no word of its own.
        problem = settingsSaveProblem(path).value_or(
            QStringLiteral("the last change could not be written"));
    }
    const bool changed = problem.has_value() != store_->problem.has_value();
    store_->problem = std::move(problem);
    if (changed) emit store_->saving.problemChanged();
    return saved;
}

}  // namespace corvanta
