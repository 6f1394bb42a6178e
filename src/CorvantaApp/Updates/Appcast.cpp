#include "Updates/Appcast.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <variant>

namespace corvanta {
namespace {

const QString sparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool hasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    }
    return false;
}

bool isDottedNumber(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9})*$"));
    return form.match(text).hasMatch();
}

bool isHttpsAddress(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && text.startsWith(QLatin1String("https://")) && !url.host().isEmpty();
}

struct ItemFields {
    std::optional<QString> version;
    std::optional<QString> minimumSystemVersion;
    std::optional<QString> link;
    std::optional<QString> enclosureURL;
    std::optional<QString> signature;
};

// The item, or why it is refused.
std::variant<AppcastItem, QString> makeItem(const ItemFields& fields, int number) {
    const QString where = QStringLiteral("item %1: ").arg(number);
    if (!fields.version) return where + QStringLiteral("no sparkle:version");
    if (!fields.enclosureURL) return where + QStringLiteral("no enclosure url");
    if (!fields.signature) return where + QStringLiteral("no sparkle:edSignature");
    AppcastItem item;
    item.version = *fields.version;
    item.minimumSystemVersion = fields.minimumSystemVersion.value_or(QString());
    item.enclosureURL = *fields.enclosureURL;
    item.downloadPage = fields.link.value_or(item.enclosureURL);
    for (const QString* text :
         {&item.version, &item.minimumSystemVersion, &item.enclosureURL, &item.downloadPage}) {
        if (hasControlCharacter(*text)) return where + QStringLiteral("a field holds a line break");
    }
    if (!isDottedNumber(item.version)) {
        return where + QStringLiteral("version \"%1\" is not dotted numbers").arg(item.version);
    }
    if (!item.minimumSystemVersion.isEmpty() && !isDottedNumber(item.minimumSystemVersion)) {
        return where + QStringLiteral("minimum system version \"%1\" is not dotted numbers")
                           .arg(item.minimumSystemVersion);
    }
    if (!isHttpsAddress(item.enclosureURL) || !isHttpsAddress(item.downloadPage)) {
        return where + QStringLiteral("an address is not https");
    }
    item.signature = QByteArray::fromBase64(fields.signature->toLatin1(),
                                            QByteArray::AbortOnBase64DecodingErrors);
    if (item.signature.size() != 64) {
        return where + QStringLiteral("the signature is not 64 bytes of base64");
    }
    return item;
}

}  // namespace

QByteArray AppcastItem::signedMessage() const {
    return QStringLiteral(
               "corvanta-appcast-v1\nversion=%1\nminimumSystemVersion=%2\nenclosure=%3\npage=%4\n")
        .arg(version, minimumSystemVersion, enclosureURL, downloadPage)
        .toUtf8();
}

AppcastParse parseAppcast(const QByteArray& xml) {
    AppcastParse result;
    QXmlStreamReader reader(xml);
    std::optional<ItemFields> item;
    bool sawRss = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            const bool sparkle = reader.namespaceUri() == sparkleNamespace;
            if (!sawRss) {
                if (name != QLatin1String("rss")) {
                    result.error = QStringLiteral("not an RSS feed");
                    return result;
                }
                sawRss = true;
            } else if (!sparkle && name == QLatin1String("item") &&
                       reader.namespaceUri().isEmpty()) {
                if (item) {
                    result.error = QStringLiteral("an item inside an item");
                    return result;
                }
                item.emplace();
            } else if (item && sparkle && name == QLatin1String("version")) {
                item->version = reader.readElementText().trimmed();
            } else if (item && sparkle && name == QLatin1String("minimumSystemVersion")) {
                item->minimumSystemVersion = reader.readElementText().trimmed();
            } else if (item && !sparkle && name == QLatin1String("link")) {
                item->link = reader.readElementText().trimmed();
            } else if (item && !sparkle && name == QLatin1String("enclosure")) {
                const auto attributes = reader.attributes();
                if (attributes.hasAttribute(QStringLiteral("url"))) {
                    item->enclosureURL =
                        attributes.value(QStringLiteral("url")).toString().trimmed();
                }
                if (attributes.hasAttribute(sparkleNamespace, QStringLiteral("edSignature"))) {
                    item->signature =
                        attributes.value(sparkleNamespace, QStringLiteral("edSignature"))
                            .toString()
                            .trimmed();
                }
            }
        } else if (reader.isEndElement() && item && reader.name() == QLatin1String("item") &&
                   reader.namespaceUri().isEmpty()) {
            auto made = makeItem(*item, int(result.items.size()) + 1);
            if (auto* why = std::get_if<QString>(&made)) {
                result.error = *why;
                return result;
            }
            result.items.push_back(std::get<AppcastItem>(std::move(made)));
            item.reset();
        }
    }
    if (reader.hasError()) {
        result.error = QStringLiteral("not well-formed XML (line %1: %2)")
                           .arg(reader.lineNumber())
                           .arg(reader.errorString());
        result.items.clear();
    } else if (!sawRss) {
        result.error = QStringLiteral("not an RSS feed");
    } else if (result.items.empty()) {
        result.error = QStringLiteral("no release in the feed");
    }
    return result;
}

std::optional<int> compareVersions(const QString& a, const QString& b) {
    if (!isDottedNumber(a) || !isDottedNumber(b)) return std::nullopt;
    const QStringList left = a.split(u'.');
    const QStringList right = b.split(u'.');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qulonglong x = i < left.size() ? left[i].toULongLong() : 0;
        const qulonglong y = i < right.size() ? right[i].toULongLong() : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

std::optional<AppcastItem> newestItem(const std::vector<AppcastItem>& items,
                                      const QString& systemVersion) {
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : items) {
        if (!item.minimumSystemVersion.isEmpty()) {
            const auto order = compareVersions(systemVersion, item.minimumSystemVersion);
            if (order && *order < 0) continue;
        }
        if (!newest || compareVersions(item.version, newest->version).value_or(0) > 0) {
            newest = item;
        }
    }
    return newest;
}

}  // namespace corvanta
