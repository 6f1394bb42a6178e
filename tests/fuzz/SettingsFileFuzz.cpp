// Any settings file, as the application finds it at start. The check keeps the original bytes
// aside whenever it rewrites the file, rewrites it only to the lines the INI reader takes in one
// by one, and is satisfied by what it wrote. Every plain `key=value` line it leaves in a plain
// section then reads back as written: the reader loses none of them to a neighbour.

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <algorithm>
#include <vector>

#include "AppFuzzSupport.h"
#include "SystemServices/Preferences.h"
#include "SystemServices/SettingsFile.h"

using namespace corvanta;
using Outcome = SettingsFileCheck::Outcome;

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1796710500, QTimeZone::utc());

bool plainName(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_';
    });
}

bool plainValue(std::string_view text) {
    return plainName(text) ||
           (!text.empty() && text.find_first_not_of("-0123456789") == std::string_view::npos);
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The plain lines of `text` the reader must give back: `key=value` with a plain key and value,
// in [General] or before any section, or in a plain section (read as "section/key"). A line
// whose key any later line could also set (by naming it, or by a percent escape) is left out,
// since the later one rightly wins.
void expectPlainLinesRead(std::string_view text, const Preferences& preferences) {
    const auto lines = linesOf(text);
    std::string section = "General";
    bool plainSection = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (const auto first = line.find_first_not_of(" \t");
            first != std::string_view::npos && line[first] == '[') {
            // The reader names the section by whatever stands between the brackets; only the
            // plain names are followed here. "general" in any case is the top level.
            plainSection = first == 0 && line.size() >= 2 && line.back() == ']' &&
                           plainName(line.substr(1, line.size() - 2));
            section = plainSection ? std::string(line.substr(1, line.size() - 2)) : "";
            if (QString::fromStdString(section).compare(QLatin1String("general"),
                                                        Qt::CaseInsensitive) == 0) {
                section = "General";
            }
            continue;
        }
        const auto equals = line.find('=');
        if (!plainSection || equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (!plainName(key) || !plainValue(value)) continue;
        const bool setLater = std::any_of(lines.begin() + std::ptrdiff_t(i) + 1, lines.end(),
                                          [&](std::string_view later) {
                                              return later.find(key) != std::string_view::npos ||
                                                     later.find('%') != std::string_view::npos;
                                          });
        if (setLater) continue;
        const std::string name =
            section == "General" ? std::string(key) : section + "/" + std::string(key);
        const auto read = preferences.string(QString::fromStdString(name));
        if (read != QString::fromLatin1(value.data(), qsizetype(value.size()))) {
            std::fprintf(stderr, "line %zu: %s read as %s, in\n%.*s\n", i + 1, name.c_str(),
                         read ? qPrintable(*read) : "(nothing)", int(text.size()), text.data());
            fuzz::expect(false, "a plain setting line the check kept was lost by the reader");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::useScratchConfigHome();
    static const fuzz::ScratchFolder folder("settings-file");
    const std::filesystem::path file = fuzz::freshSettingsFile(folder);
    const QString path = QString::fromStdString(file.string());
    const std::string_view input = fuzz::textOf(data, size);
    fuzz::writeFile(file, input);

    const SettingsFileCheck check = checkSettingsFile(path, kNow);
    const auto entries = std::distance(std::filesystem::directory_iterator(file.parent_path()),
                                       std::filesystem::directory_iterator());
    int kept = 0;
    int dropped = 0;
    const std::string readable = readableSettingsLines(input, kept, dropped);
    if (check.outcome == Outcome::intact) {
        fuzz::expect(dropped == 0, "a file with damaged lines was taken as intact");
        fuzz::expect(entries == 1 && fuzz::readFile(file) == input,
                     "an intact file was changed or copied");
    } else {
        fuzz::expect(check.outcome == Outcome::recovered, "a regular file was set aside");
        fuzz::expect(entries == 2, "other than one copy kept aside");
        fuzz::expect(fuzz::readFile(file.parent_path() / check.keptAs.toStdString()) == input,
                     "the copy kept aside differs from the original bytes");
        fuzz::expect(fuzz::readFile(file) == readable,
                     "the file was rewritten to other than its readable lines");
        fuzz::expect(
            check.recoveredSettings == kept && check.droppedLines == dropped && dropped > 0,
            "the recovery's counts differ from its lines");
        fuzz::expect(check.logLine(QStringLiteral("Corvanta.conf")).has_value(),
                     "a recovery with nothing in the event log");
        fuzz::expect(checkSettingsFile(path, kNow.addSecs(1)).outcome == Outcome::intact,
                     "a recovered file was not put right once and for all");
    }

    Preferences preferences(path);
    expectPlainLinesRead(fuzz::readFile(file), preferences);
    // The reader took the file in whole: a write is saved and says so.
    fuzz::expect(preferences.setString(QStringLiteral("rigwell.fuzzProbe"), QStringLiteral("1")),
                 "a write to a checked file reported failure");
    return 0;
}
