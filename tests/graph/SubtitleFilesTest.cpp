#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "graph/SubtitleFiles.h"

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

TEST(SubtitleFilesTest, TextIsUtf8WhenItIsValidUtf8ElseWindows1252) {
    EXPECT_EQ(SubtitleEncoding("Caf\xc3\xa9 au lait"), "UTF-8");
    EXPECT_EQ(SubtitleEncoding("\xef\xbb\xbf"
                               "Caf\xc3\xa9"),
              "UTF-8");
    EXPECT_EQ(SubtitleEncoding("Caf\xc3"), "UTF-8") << "a head cut inside a character";
    // The tests run in a UTF-8 or the C locale, neither of them a legacy charset.
    EXPECT_EQ(SubtitleEncoding("Caf\xe9 au lait"), "WINDOWS-1252");
}

TEST(SubtitleFilesTest, TheSameNameComesFirstThenALanguageAndBrokenFilesArePassedOver) {
    QTemporaryDir folder;
    const QString film = folder.filePath("film.mp4");
    const QByteArray cue = "1\r\n00:00:00,000 --> 00:00:01,000\r\nHello\r\n";
    Write(film, "");
    EXPECT_EQ(FindSubtitleFile(film.toStdString()), "");
    Write(folder.filePath("film.fr.srt"), cue);
    Write(folder.filePath("film.en.srt"), cue);
    Write(folder.filePath("film.en.forced.srt"), cue);
    Write(folder.filePath("other.srt"), cue);
    EXPECT_EQ(FindSubtitleFile(film.toStdString()), folder.filePath("film.en.srt").toStdString());
    // Noise, a VobSub picture file and a file larger than any subtitles stay out.
    Write(folder.filePath("film.srt"), QByteArray("\x00\x01\xff\x13 noise", 10));
    Write(folder.filePath("film.sub"), QByteArray("\x00\x00\x01\xba", 4));
    Write(folder.filePath("film.ass"), QByteArray(11 * 1024 * 1024, 'a'));
    EXPECT_EQ(FindSubtitleFile(film.toStdString()), folder.filePath("film.en.srt").toStdString());
    Write(folder.filePath("film.VTT"), "WEBVTT\n\n00:00.000 --> 00:01.000\nHello\n");
    EXPECT_EQ(FindSubtitleFile(film.toStdString()), folder.filePath("film.VTT").toStdString());
}
