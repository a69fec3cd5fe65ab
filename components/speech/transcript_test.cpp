#include "transcript.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using orvane::speech::Transcript;

TEST(Transcript, LineHasMillisecondTimeTabAndEscapedBreaks) {
    const QDateTime when(QDate(2026, 12, 6), QTime(18, 45, 0, 123));
    EXPECT_EQ(Transcript::formatLine(when, QStringLiteral("一行目\n二行目\r\n三")),
              QStringLiteral("2026-12-06T18:45:00.123\t一行目\\n二行目\\n三\n"));
}

TEST(Transcript, AppendsToExistingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    {
        Transcript t(path);
        t.append("あ");
    }
    {
        Transcript t(path);
        t.append("い");
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("\tあ"));
    EXPECT_TRUE(lines[1].endsWith("\tい"));
}
