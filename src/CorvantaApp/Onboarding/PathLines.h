#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>

namespace corvanta {

// How wide a run of text is drawn.
using TextAdvance = std::function<qreal(const QString& text)>;

// The lines a path is drawn on, none wider than `width` but for a "/" that ends it: each line ends
// just after a "/" and holds as many whole names as fit, so a line never ends inside a name (at its
// spaces, hyphens or dots) that a line could hold, nor between a name and its "/". A name wider
// than a line by itself starts a line of its own and is cut between two characters as a reader sees
// them (never between a letter and its accent). Joined, the lines are the path; a width of zero or
// less leaves it on one line.
QStringList pathLines(const QString& path, qreal width, const TextAdvance& advance);

// The width of `text` in `font` as a text item lays it out (design metrics, no wrapping).
qreal textAdvance(const QString& text, const QFont& font);

// The part of the path between two positions of its lines joined by "\n", as a text item holds
// them: what lies between them of the path itself, without the line ends, in either order.
QString pathBetween(const QStringList& lines, qsizetype from, qsizetype to);

}  // namespace corvanta
