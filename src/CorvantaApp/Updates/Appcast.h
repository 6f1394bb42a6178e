#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace corvanta {

// One release in the update feed.
//
// The feed is an appcast: RSS 2.0 with the Sparkle namespace, one <item> per release carrying
// <sparkle:version> (the release, dotted whole numbers), an optional
// <sparkle:minimumSystemVersion>, an optional <link> (the release's download page; the enclosure
// when absent) and an <enclosure url="…" sparkle:edSignature="…"/>.
//
// What the signature covers: the application never downloads the enclosure itself, it only
// offers the page, so the signature is not over the enclosure's bytes but over every field the
// application acts on — signedMessage() below, UTF-8:
//   "corvanta-appcast-v1\n" "version=V\n" "minimumSystemVersion=M\n" "enclosure=E\n" "page=P\n"
// with the texts exactly as written in the feed (M empty when absent, P the enclosure when no
// link). Fields holding a control character are refused, so the lines cannot be forged by a
// field running into the next. Both addresses must be https.
struct AppcastItem {
    QString version;
    QString minimumSystemVersion;
    QString enclosureURL;
    QString downloadPage;
    // The raw 64-byte signature (decoded from base64).
    QByteArray signature;

    QByteArray signedMessage() const;
};

struct AppcastParse {
    std::vector<AppcastItem> items;
    // Why the feed is refused; empty when it parsed.
    QString error;
};

// The feed's items, in the feed's order; a feed that is not well-formed XML, has no item, or
// has an item lacking a field or holding a malformed one is refused whole.
AppcastParse parseAppcast(const QByteArray& xml);

// Dotted whole numbers ("1.10.2"), missing parts counting as 0: negative, 0 or positive as
// a < b, a == b, a > b. nullopt when either is not of that form.
std::optional<int> compareVersions(const QString& a, const QString& b);

// The newest item this system can run: its minimum system version at most `systemVersion` (an
// item without one, or a system whose version is not dotted numbers, always qualifies). nullopt
// when none qualifies.
std::optional<AppcastItem> newestItem(const std::vector<AppcastItem>& items,
                                      const QString& systemVersion);

}  // namespace corvanta
