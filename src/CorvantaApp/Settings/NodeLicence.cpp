#include "Settings/NodeLicence.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <array>

namespace corvanta {
namespace {

// The node's licence files, unchanged, as the package installs them beside its copyright file.
QString noticeFile(const QString& name) {
    QFile file(QStringLiteral(":/corvanta/node-licences/") + name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

bool startsOwnLine(const QString& line) {
    static const QRegularExpression own(QStringLiteral("^\\s*(Copyright\\b|\\*)"));
    return own.match(line).hasMatch();
}

struct Library {
    const char* name;
    const char* file;
};

}  // namespace

QString reflowNotice(const QString& notice) {
    QStringList paragraphs;
    QStringList lines;
    QString current;
    const auto endLine = [&] {
        if (!current.isEmpty()) lines.append(current);
        current.clear();
    };
    const auto endParagraph = [&] {
        endLine();
        if (!lines.isEmpty()) paragraphs.append(lines.join(QLatin1Char('\n')));
        lines.clear();
    };
    for (const QString& raw : notice.split(QLatin1Char('\n'))) {
        const QString line = raw.simplified();
        if (line.isEmpty()) {
            endParagraph();
        } else if (startsOwnLine(raw)) {
            endLine();
            current = line;
        } else {
            current = current.isEmpty() ? line : current + QLatin1Char(' ') + line;
        }
    }
    endParagraph();
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString nodeLicenceText() {
    return reflowNotice(noticeFile(QStringLiteral("COPYING")));
}

QString nodeNoticesText() {
    static constexpr std::array<Library, 6> libraries = {{
        {"LevelDB", "leveldb.LICENSE"},
        {"CRC32C", "crc32c.LICENSE"},
        {"libsecp256k1", "secp256k1.COPYING"},
        {"minisketch", "minisketch.LICENSE"},
        {"ctaes", "ctaes.COPYING"},
        // Kept at the end of a source file of the node rather than in a licence file.
        {"SHA-256 for SSE4 (Intel)", "sha256_sse4.LICENSE"},
    }};
    QString text = nodeLicenceText();
    for (const Library& library : libraries) {
        text += QStringLiteral("\n\n\n") + QLatin1String(library.name) + QStringLiteral("\n\n") +
                reflowNotice(noticeFile(QLatin1String(library.file)));
    }
    // UniValue has no licence file of its own; this is its sources' notice.
    text += QStringLiteral(
        "\n\n\nUniValue\n\n"
        "Copyright 2014 BitPay Inc.\n"
        "Copyright 2015 Bitcoin Core Developers\n"
        "Distributed under the MIT software license, see the accompanying file COPYING or "
        "https://opensource.org/licenses/mit-license.php.");
    return text;
}

}  // namespace corvanta
