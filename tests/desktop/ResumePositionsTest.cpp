// Where files were left: only positions worth resuming are kept, the file stays bounded, and a
// damaged or foreign file resumes nothing and breaks nothing.
#include "desktop/ResumePositions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class ResumePositionsTest : public ::testing::Test {
  protected:
    std::string Path() const { return (Folder.path() + "/Resume.txt").toStdString(); }
    void Write(const QByteArray& data) const {
        QFile file(QString::fromStdString(Path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    QTemporaryDir Folder;
};

TEST_F(ResumePositionsTest, KeepsWhatIsWorthResumingForTheNextRunAndUsesItOnce) {
    {
        TResumePositions positions(Path());
        EXPECT_TRUE(positions.Keep("/films/a b\t%.mkv", 600000, 3600000));
        EXPECT_TRUE(positions.Keep("/films/short.mp4", 20000, 100000));  // under 30 s in
        EXPECT_TRUE(positions.Keep("/films/ended.mp4", 3500000, 3600000));  // past 95 %
    }
    TResumePositions positions(Path());
    int64_t at = 0;
    EXPECT_FALSE(positions.Take("/films/short.mp4", 100000, at));
    EXPECT_FALSE(positions.Take("/films/ended.mp4", 3600000, at));
    EXPECT_FALSE(positions.Take("/films/a b\t%.mkv", 500000, at));  // the file became shorter
    EXPECT_TRUE(positions.Keep("/films/a b\t%.mkv", 600000, 3600000));
    ASSERT_TRUE(positions.Take("/films/a b\t%.mkv", 3600000, at));
    EXPECT_EQ(at, 600000);
    EXPECT_FALSE(TResumePositions(Path()).Take("/films/a b\t%.mkv", 3600000, at));
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files), QStringList{"Resume.txt"});
}

TEST_F(ResumePositionsTest, TheOldestGoBeyondAThousandAndDamagedFilesResumeNothing) {
    {
        TResumePositions positions(Path());
        for (int i = 0; i <= 1000; ++i)
            positions.Keep("/f/" + std::to_string(i), 60000, 120000);
    }
    int64_t at = 0;
    TResumePositions kept(Path());
    EXPECT_FALSE(kept.Take("/f/0", 120000, at));
    EXPECT_TRUE(kept.Take("/f/1", 120000, at));
    EXPECT_TRUE(kept.Take("/f/1000", 120000, at));

    for (const QByteArray& damaged :
         {QByteArray("-60000\t120000\t/f/x\n99999999999999999999\t1\t/f/x\n\xff\t\t\n"),
          QByteArray(10 * 1024 * 1024, '\x01')}) {
        Write(damaged);
        TResumePositions positions(Path());
        EXPECT_FALSE(positions.Take("/f/x", 120000, at));
        EXPECT_TRUE(positions.Keep("/f/y", 60000, 120000));
    }
}

}  // namespace
