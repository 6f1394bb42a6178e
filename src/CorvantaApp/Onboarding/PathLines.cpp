#include "Onboarding/PathLines.h"

#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace corvanta {

namespace {

// The path's names, each with the "/" that follows it: "/home/a b" gives "/", "home/", "a b".
QStringList namesWithSeparators(const QString& path) {
    QStringList names;
    qsizetype from = 0;
    while (from < path.size()) {
        const qsizetype slash = path.indexOf(u'/', from);
        const qsizetype end = slash < 0 ? path.size() : slash + 1;
        names << path.mid(from, end - from);
        from = end;
    }
    return names;
}

// Whether a run of the path fits on a line. A "/" that ends it may hang past the line's end: a
// name that fits is never parted from its separator, nor cut for it.
using Fits = std::function<bool(const QString& run)>;

// Cuts a name too wide for any line into full lines; the rest, narrower than a line, is returned
// to be continued.
QString cutIntoLines(const QString& name, const Fits& fits, QStringList& lines) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    qsizetype from = 0;
    qsizetype fitting = 0;
    while (characters.toNextBoundary() != -1) {
        const qsizetype at = characters.position();
        if (fitting > from && !fits(name.mid(from, at - from))) {
            lines << name.mid(from, fitting - from);
            from = fitting;
        }
        // A character wider than a line by itself still goes on a line of its own.
        fitting = at;
    }
    return name.mid(from);
}

}  // namespace

QStringList pathLines(const QString& path, qreal width, const TextAdvance& advance) {
    if (width <= 0 || path.isEmpty()) return {path};
    const Fits fits = [&](const QString& run) {
        return advance(run.endsWith(u'/') ? run.chopped(1) : run) <= width;
    };
    QStringList lines;
    QString line;
    for (const QString& name : namesWithSeparators(path)) {
        if (fits(line + name)) {
            line += name;
            continue;
        }
        if (!line.isEmpty()) lines << line;
        line = fits(name) ? name : cutIntoLines(name, fits, lines);
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

qreal textAdvance(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    return line.isValid() ? line.horizontalAdvance() : 0;
}

QString pathBetween(const QStringList& lines, qsizetype from, qsizetype to) {
    if (from > to) std::swap(from, to);
    QString between;
    qsizetype start = 0;
    for (const QString& line : lines) {
        const qsizetype end = start + line.size();
        const qsizetype first = std::max(from, start);
        const qsizetype last = std::min(to, end);
        if (first < last) between += QStringView(line).mid(first - start, last - first);
        start = end + 1;  // the line end
    }
    return between;
}

}  // namespace corvanta
