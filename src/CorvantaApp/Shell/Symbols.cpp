#include "Shell/Symbols.h"

#include <QHash>

namespace corvanta {
namespace {

const QHash<QString, SymbolGlyph>& table() {
    static const QHash<QString, SymbolGlyph> glyphs = {
        {"arrow.triangle.2.circlepath", {0xE627}},
        {"arrow.triangle.2.circlepath.circle", {0xE627, true}},
        {"exclamationmark.triangle.fill", {0xE002}},
        {"bitcoinsign.circle", {0xEBC5, true}},
        {"bitcoinsign.circle.fill", {0xEBC5, false, true}},
        {"arrow.trianglehead.counterclockwise", {0xE042}},
        {"questionmark.circle", {0xE8FD}},
        {"questionmark.circle.fill", {0xE887}},
        {"arrow.down.right.and.arrow.up.left", {0xF1CF}},
        {"arrow.up.left.and.arrow.down.right", {0xF1CE}},
        {"sun.max.fill", {0xE518}},
        {"moon.fill", {0xE51C}},
        {"hammer", {0xEA59}},
        {"cpu", {0xE322}},
        {"sidebar.right", {0xF114}},
        {"arrow.down.circle.fill", {0xF181}},
        {"play.fill", {0xE037}},
        {"pause.fill", {0xE034}},
        {"pin.fill", {0xF10D}},
        {"pin.slash", {0xF10D, false, false, true}},
        {"gearshape", {0xE8B8}},
        {"gearshape.fill", {0xE8B8}},
        {"gauge.with.dots.needle.50percent", {0xE9E4}},
        {"gauge.with.needle.fill", {0xE9E4}},
        {"bolt.fill", {0xEA0B}},
        {"clock", {0xE8B5}},
        {"clock.fill", {0xE8B5}},
        {"person.2.fill", {0xE7EF}},
        {"testtube.2", {0xEA4B}},
        {"party.popper.fill", {0xEA65}},
        {"sparkles", {0xE65F}},
        {"checkmark.seal.fill", {0xEF76}},
        {"folder", {0xE2C8}},
        {"folder.fill", {0xE2C7}},
        {"doc.on.doc", {0xE14D}},
        {"arrow.right", {0xE5C8}},
        {"wallet.pass.fill", {0xE850}},
        {"internaldrive.fill", {0xE1DB}},
        {"checkmark.circle.fill", {0xE86C}},
        {"exclamationmark.circle.fill", {0xE000}},
        {"checkmark.shield.fill", {0xE8E8}},
        {"lock.shield.fill", {0xE32A}},
        {"shield.fill", {0xE9E0}},
        {"shield.lefthalf.filled", {0xE9E0}},
        {"brain.head.profile", {0xEA4A}},
        {"leaf.fill", {0xEA35}},
        {"zzz", {0xEF44}},
        {"hand.raised.fill", {0xE764}},
        {"display", {0xEF5B}},
        {"server.rack", {0xE875}},
        {"number", {0xE9EF}},
        {"menubar.rectangle", {0xE069}},
        {"stethoscope", {0xF109}},
        {"info.circle", {0xE88F}},
        {"xmark", {0xE5CD}},
        {"chevron.right", {0xE5CC}},
        {"lock.fill", {0xE897}},
        {"list.bullet.rectangle", {0xE0EE}},
        {"lifepreserver.fill", {0xEF73}},
        {"xmark.octagon.fill", {0xE99A}},
        {"dot.radiowaves.left.and.right", {0xE51E}},
    };
    return glyphs;
}

}  // namespace

std::optional<SymbolGlyph> symbolGlyph(const QString& name) {
    const auto found = table().constFind(name);
    if (found == table().constEnd()) return std::nullopt;
    return *found;
}

QStringList symbolNames() {
    return table().keys();
}

QString symbolFontFamily() {
    return QStringLiteral("Material Icons");
}

QVariantMap Symbols::glyph(const QString& name) const {
    const auto glyph = symbolGlyph(name);
    if (!glyph) return {{"text", QString()}, {"ring", false}, {"disc", false}, {"slash", false}};
    return {{"text", QString(QChar(glyph->codePoint))},
            {"ring", glyph->ring},
            {"disc", glyph->disc},
            {"slash", glyph->slash}};
}

}  // namespace corvanta
