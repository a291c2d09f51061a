#include "tests/app/PlayerSupport.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "graph/DirectShowErrors.h"
#include "tests/support/EventPump.h"
#include "tests/support/TestMedia.h"

void PlayerTest::SetUp() {
    ASSERT_TRUE(FHome.isValid() && FDrive.isValid());
    setenv("VEXLO_HOME", Home().c_str(), 1);
    setenv("VEXLO_DRIVE_ROOT", Drive().c_str(), 1);
    PlayerState = TPlayerState{};
    // The pause button's images, as the build places them beside the executable.
    const QDir built(qEnvironmentVariable("VEXLO_BIN_DIR") + "/BackGround");
    QDir().mkpath(QString::fromStdString(Home("BackGround")));
    for (const QString& name : built.entryList(QDir::Files))
        QFile::copy(built.filePath(name), QString::fromStdString(Home("BackGround/")) + name);
}

void PlayerTest::TearDown() {
    Close();
    FreeErrorForm();
    PlayerState = TPlayerState{};
}

TFormQuelm& PlayerTest::Start(const QStringList& arguments) {
    Form = std::make_unique<TFormQuelm>(arguments);
    Form->DvdMessage = [this](const QString& text) { DvdMessages << text; };
    return *Form;
}

void PlayerTest::Close() {
    Form.reset();
}

std::string PlayerTest::Home(const std::string& name) const {
    return FHome.path().toStdString() + "/" + name;
}

std::string PlayerTest::Drive(const std::string& name) const {
    return FDrive.path().toStdString() + "/" + name;
}

void PlayerTest::WriteFile(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path;
    file.write(bytes);
}

QByteArray PlayerTest::ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string PlayerTest::Folder(const std::string& name) const {
    EXPECT_TRUE(QDir().mkpath(QString::fromStdString(Drive(name))));
    return Drive(name) + "/";
}

void PlayerTest::CopyClip(const std::string& clip, const std::string& path) {
    std::error_code error;
    std::filesystem::copy_file(TestMediaPath(clip), path,
                               std::filesystem::copy_options::overwrite_existing, error);
    ASSERT_FALSE(error) << path << ": " << error.message();
}

TFormQuelm& PlayerTest::StartWithFolder(const std::string& folder) {
    WriteSettings(("VideoFolder=" + folder + "\r\n").c_str());
    Start();
    Form->ReadyTimerTimer();
    return *Form;
}

void PlayerTest::ClickRow(int index) {
    Form->SelectRow(index);
    Form->Guard(Form.get(), [this] { Form->LvVideoSourceClick(); });
    WaitForOpen();
}

HRESULT PlayerTest::OpenAndWait(const std::string& path) {
    std::optional<HRESULT> raised;
    SetGraphExceptionHook([&](const std::exception& error) {
        if (const auto* failure = dynamic_cast<const EDirectShowException*>(&error))
            raised = failure->ErrorCode();
    });
    try {
        Form->OpenMediaFile(path);
        WaitForOpen();
    } catch (const EDirectShowException& error) {
        raised = error.ErrorCode();
    }
    SetGraphExceptionHook(nullptr);
    return raised.value_or(S_OK);
}

void PlayerTest::WaitForOpen() {
    PumpUntil([this] { return !Form->FG.Rendering(); }, 20000);
}

void PlayerTest::WriteSettings(const QByteArray& lines) {
    WriteFile(Home("Quelm.ini"), "[MedForm]\r\n" + lines);
}
