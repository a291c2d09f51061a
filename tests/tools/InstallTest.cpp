// `cmake --install` into a fresh prefix (with a blank in its path, so the entry's quoting
// counts): the program, a desktop entry that starts the installed program and that
// desktop-file-validate accepts, the icon and the images; the installed program keeps its files
// in the XDG folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

QString RunTool(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    *exitCode = process.waitForFinished(120000) ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList LinesWith(const QString& text, const QString& key) {
    QStringList lines;
    for (const QString& line : text.split('\n'))
        if (line.startsWith(key + "=")) lines << line;
    return lines;
}

}  // namespace

TEST(InstallTest, APrefixGetsTheProgramItsEntryAndItsIcon) {
    QTemporaryDir root(QDir::tempPath() + "/vexlo install XXXXXX");
    ASSERT_TRUE(root.isValid());
    const QString prefix = root.filePath("usr");
    int exitCode = 0;
    const QString log = RunTool(VEXLO_CMAKE_COMMAND,
                                {"--install", VEXLO_BINARY_DIR, "--prefix", prefix}, &exitCode);
    ASSERT_EQ(exitCode, 0) << log.toStdString();

    const QFileInfo program(prefix + "/bin/vexlo");
    EXPECT_TRUE(program.isFile() && program.isExecutable());

    const QString entryPath = prefix + "/share/applications/vexlo.desktop";
    const QString entry = Read(entryPath);
    ASSERT_FALSE(entry.isEmpty());
    EXPECT_EQ(LinesWith(entry, "Exec"), QStringList("Exec=\"" + program.filePath() + "\" %f"));
    EXPECT_EQ(LinesWith(entry, "Icon"), QStringList("Icon=vexlo"));
    const QStringList types = LinesWith(entry, "MimeType").value(0).mid(9).split(';');
    // Every extension the playlist lists that this system knows a type for.
    const QStringList extensions = QString(
                                       "wmv ifo vcd mpg mpeg avi asf m4v mp4 264 mp3 ogg wma "
                                       "wav aac cda swf flv ram rmvb rm rv mov qt 3gp 3g2 mkv "
                                       "webm m2ts mpls")
                                       .split(' ');
    for (const QString& extension : extensions) {
        const QMimeType type =
            QMimeDatabase().mimeTypeForFile("x." + extension, QMimeDatabase::MatchExtension);
        if (type.isDefault()) continue;
        EXPECT_TRUE(types.contains(type.name())) << type.name().toStdString();
    }

    EXPECT_GT(QFileInfo(prefix + "/share/icons/hicolor/scalable/apps/vexlo.svg").size(), 0);
    for (const char* image : {"Pause.bmp", "Clock.bmp"})
        EXPECT_FALSE(QImage(prefix + "/share/vexlo/BackGround/" + image).isNull()) << image;

    // The installed program keeps its files in the XDG folder, though it could write beside
    // itself here, and takes its images along there.
    QTemporaryDir config;
    QProcess player;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("VEXLO_HOME");
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    player.setProcessEnvironment(environment);
    player.start(program.filePath(), {});
    const QString copied = config.path() + "/vexlo/BackGround/Pause.bmp";
    for (int waited = 0; waited < 15000 && !QFileInfo::exists(copied); waited += 100)
        QThread::msleep(100);
    player.kill();
    player.waitForFinished();
    EXPECT_TRUE(QFileInfo::exists(copied));
    EXPECT_EQ(QDir(prefix + "/bin").entryList(QDir::Files), QStringList("vexlo"));

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed";
    const QString verdict = RunTool(validator, {entryPath}, &exitCode);
    EXPECT_EQ(exitCode, 0) << verdict.toStdString();
    EXPECT_TRUE(verdict.isEmpty()) << verdict.toStdString();
}
