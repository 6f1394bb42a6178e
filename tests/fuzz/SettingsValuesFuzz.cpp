// Any text stored under a preference, as a hand edit or another program would leave it. The
// strict readers accept only a value's one canonical form, so whatever they accept is written back
// as the same text; and any text the application stores reads back unchanged, through the
// settings check.

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <nlohmann/json.hpp>

#include "AppFuzzSupport.h"
#include "SystemServices/Preferences.h"
#include "SystemServices/SettingsFile.h"

using namespace corvanta;

namespace {

const QString kStored = QStringLiteral("rigwell.stored");
const QString kWritten = QStringLiteral("rigwell.written");
const QString kCopy = QStringLiteral("rigwell.copy");

// Each strict reader's value, when there is one, is the stored text's only spelling.
void readStrictly(Preferences& preferences, const QString& key) {
    const auto text = preferences.string(key);
    if (const auto flag = preferences.boolean(key)) {
        fuzz::expect(text == (*flag ? QStringLiteral("true") : QStringLiteral("false")),
                     "a Boolean read from other than its canonical text");
    }
    if (const auto number = preferences.integer(key)) {
        fuzz::expect(text == QString::number(*number), "an integer read from a non-canonical text");
        fuzz::expect(preferences.setInteger(kCopy, *number) && preferences.integer(kCopy) == number,
                     "an integer read did not write back the same");
    }
    if (const auto number = preferences.unsignedInteger(key)) {
        fuzz::expect(text == QString::number(*number),
                     "an unsigned integer read from a non-canonical text");
        fuzz::expect(preferences.setUnsignedInteger(kCopy, *number) &&
                         preferences.unsignedInteger(kCopy) == number,
                     "an unsigned integer read did not write back the same");
    }
    if (const auto date = preferences.date(key)) {
        fuzz::expect(preferences.setDate(kCopy, *date) && preferences.string(kCopy) == text &&
                         preferences.date(kCopy) == date,
                     "a date read did not write back as the same text");
    }
    if (const auto json = preferences.json(key)) {
        fuzz::expect(json == text && nlohmann::json::accept(json->toStdString()),
                     "JSON read that does not parse");
        fuzz::expect(preferences.setJson(kCopy, *json) && preferences.json(kCopy).has_value(),
                     "JSON read could not be stored again");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::useScratchConfigHome();
    static const fuzz::ScratchFolder folder("settings-values");
    const std::filesystem::path file = fuzz::freshSettingsFile(folder);
    const QString path = QString::fromStdString(file.string());
    const std::string_view input = fuzz::textOf(data, size);

    // The input as the stored text itself, escapes and all, followed by whatever it holds.
    std::string raw = "[General]\nrigwell.stored=";
    raw.append(input);
    fuzz::writeFile(file, raw);
    {
        Preferences preferences(path);
        readStrictly(preferences, kStored);
    }

    // The input as a text the application stores.
    const QString text = QString::fromUtf8(input.data(), qsizetype(input.size()));
    {
        Preferences preferences(path);
        fuzz::expect(preferences.setString(kWritten, text), "a text could not be stored");
    }
    // The check may still find damage the reader rewrote as it found it (a junk key of the
    // input's own it cannot read back), but what the application stored survives it.
    checkSettingsFile(path, QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc()));
    Preferences reread(path);
    fuzz::expect(reread.string(kWritten) == text, "a stored text read back changed");
    readStrictly(reread, kWritten);
    return 0;
}
