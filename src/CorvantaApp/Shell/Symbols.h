#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace corvanta {

// The interface's symbol names drawn with the Material Icons font bundled in the resources.
struct SymbolGlyph {
    char16_t codePoint = 0;
    // Decorations the font has no glyph for: a ring around the glyph, a filled disc under it,
    // a slash across it.
    bool ring = false;
    bool disc = false;
    bool slash = false;
};

// Nothing for a name outside the table.
std::optional<SymbolGlyph> symbolGlyph(const QString& name);
// Every name of the table.
QStringList symbolNames();

// The family name of the bundled icon font.
QString symbolFontFamily();

// For QML: SymbolIcon reads its glyph here.
class Symbols : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

  public:
    using QObject::QObject;
    QString fontFamily() const { return symbolFontFamily(); }
    // {text, ring, disc, slash}; empty text for an unknown name.
    Q_INVOKABLE QVariantMap glyph(const QString& name) const;
};

}  // namespace corvanta
