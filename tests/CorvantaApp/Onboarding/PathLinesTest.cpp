#include <gtest/gtest.h>

#include <QTextBoundaryFinder>

#include "Onboarding/PathLines.h"

namespace corvanta {
namespace {

// One unit per character as a reader sees it: an accent combined with its letter takes no room.
qreal charactersWide(const QString& text) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qreal count = 0;
    while (characters.toNextBoundary() != -1) ++count;
    return count;
}

const QString decomposedE = QStringLiteral("e\u0301");

TEST(PathLines, LinesEndAfterASeparatorUnlessANameIsWiderThanALine) {
    struct Case {
        const char* what;
        QString path;
        qreal width;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"names joined while they fit", "/a/b c/d", 12, {"/a/b c/d"}},
        {"a space inside a name never ends a line",
         "/home/Jean Pierre/.local",
         12,
         {"/home/", "Jean Pierre/", ".local"}},
        {"hyphens and dots neither",
         "/srv/jean-pierre.du/x",
         15,
         {"/srv/", "jean-pierre.du/", "x"}},
        {"accented names; a name as wide as a line keeps its separator",
         "/home/Répertoire/très long/",
         10,
         {"/home/", "Répertoire/", "très long/"}},
        {"a name wider than a line is cut, its rest goes on with the next names",
         "/srv/" + QString(30, u'x') + "/data",
         12,
         {"/srv/", QString(12, u'x'), QString(12, u'x'), "xxxxxx/data"}},
        {"the end of a name cut keeps its separator too",
         "/" + QString(24, u'x') + "/a",
         12,
         {"/", QString(12, u'x'), QString(12, u'x') + "/", "a"}},
        {"a name cut never parts a letter from its accent",
         "/" + decomposedE.repeated(7),
         4,
         {"/", decomposedE.repeated(4), decomposedE.repeated(3)}},
        {"a separator alone, doubled or last", "//tmp/", 4, {"//", "tmp/"}},
        {"no width to lay out against: one line", "/home/a b/c", 0, {"/home/a b/c"}},
        {"an empty path", "", 10, {""}},
    };
    for (const auto& c : cases) {
        const QStringList lines = pathLines(c.path, c.width, charactersWide);
        EXPECT_EQ(lines, c.expected) << c.what;
        EXPECT_EQ(lines.join(QString()), c.path) << c.what;
    }
}

TEST(PathLines, ASelectionAcrossLinesGivesThePathWithoutTheLineEnds) {
    const QStringList lines = {"/home/", "Jean Pierre/", ".local"};
    // Joined by "\n": "/home/" 0-5, "\n" 6, "Jean Pierre/" 7-18, "\n" 19, ".local" 20-25.
    struct Case {
        qsizetype from;
        qsizetype to;
        QString expected;
    };
    const std::vector<Case> cases = {
        {0, 26, "/home/Jean Pierre/.local"},
        {26, 0, "/home/Jean Pierre/.local"},
        {1, 5, "home"},
        {3, 12, "me/Jean "},
        {6, 7, ""},
        {6, 8, "J"},
        {18, 21, "/."},
        {10, 10, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathBetween(lines, c.from, c.to), c.expected) << c.from << ".." << c.to;
    }
}

}  // namespace
}  // namespace corvanta
