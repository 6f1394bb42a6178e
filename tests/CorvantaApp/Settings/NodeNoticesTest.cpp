#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "Settings/NodeLicence.h"

namespace corvanta {
namespace {

QString sourceFile(const QString& relative) {
    QFile file(QStringLiteral(CORVANTA_SOURCE_DIR "/") + relative);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << relative.toStdString();
    return QString::fromUtf8(file.readAll());
}

// Notices compared as words: About joins the lines the files wrap.
QString flattened(const QString& text) {
    return text.simplified();
}

TEST(NodeNotices, ReflowKeepsCopyrightLinesAndListItemsApart) {
    const QString notice = QStringLiteral(
        "Copyright (c) 2011 Someone\n"
        "Copyright (c) 2012 Someone else\n"
        "\n"
        "Redistribution is\n"
        "permitted:\n"
        "\n"
        "   * Keep the\n"
        "copyright notice.\n"
        "   * Keep the disclaimer.\n"
        "\n\n"
        "THE END\n");
    EXPECT_EQ(reflowNotice(notice),
              "Copyright (c) 2011 Someone\nCopyright (c) 2012 Someone else\n\n"
              "Redistribution is permitted:\n\n"
              "* Keep the copyright notice.\n* Keep the disclaimer.\n\n"
              "THE END");
}

// About shows what the package carries: every licence file of the node word for word, and each
// library under the name the copyright file gives it, with the holders that file names.
TEST(NodeNotices, AboutSaysWhatThePackageCarries) {
    const QString about = nodeNoticesText();
    const QString flatAbout = flattened(about);
    const QString copyright = flattened(sourceFile(QStringLiteral("packaging/copyright.in")));
    const QDir notices(QStringLiteral(CORVANTA_SOURCE_DIR "/packaging/node-licences"));
    const QStringList files = notices.entryList(QDir::Files);
    ASSERT_GE(files.size(), 6);
    const QRegularExpression copyrightLine(QStringLiteral("^Copyright (\\(c\\) )?(.*)$"),
                                           QRegularExpression::MultilineOption);
    for (const QString& name : files) {
        if (name == QLatin1String("README")) continue;
        const QString notice = sourceFile(QStringLiteral("packaging/node-licences/") + name);
        EXPECT_TRUE(flatAbout.contains(flattened(notice))) << name.toStdString();
        for (auto it = copyrightLine.globalMatch(notice); it.hasNext();) {
            const QString holder = it.next().captured(2).trimmed();
            EXPECT_TRUE(copyright.contains(holder)) << holder.toStdString();
        }
    }
    for (const char* library :
         {"LevelDB", "CRC32C", "libsecp256k1", "minisketch", "ctaes", "UniValue"}) {
        EXPECT_TRUE(about.contains(QStringLiteral("\n\n\n") + library + "\n\n")) << library;
        EXPECT_TRUE(copyright.contains(QLatin1String(library))) << library;
    }
    // Intel's notice for its SSE4 SHA-256 code, which lives in a source file of the node.
    EXPECT_TRUE(about.contains(QStringLiteral("\n\n\nSHA-256 for SSE4 (Intel)\n\n")));
    EXPECT_TRUE(copyright.contains(QStringLiteral("2012, Intel Corporation")));
    for (const char* holder : {"2014 BitPay Inc.", "2015 Bitcoin Core Developers"}) {
        EXPECT_TRUE(about.contains(QLatin1String(holder))) << holder;
        EXPECT_TRUE(copyright.contains(QLatin1String(holder))) << holder;
    }
    EXPECT_TRUE(about.startsWith(nodeLicenceText()));
}

}  // namespace
}  // namespace corvanta
