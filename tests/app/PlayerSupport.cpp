#include "tests/app/PlayerSupport.h"

#include <QFile>
#include <cstdlib>

#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"

void PlayerTest::SetUp() {
    ASSERT_TRUE(FHome.isValid() && FDrive.isValid());
    setenv("VEXLO_HOME", Home().c_str(), 1);
    setenv("VEXLO_DRIVE_ROOT", Drive().c_str(), 1);
    PlayerState = TPlayerState{};
}

void PlayerTest::TearDown() {
    Close();
    FreeErrorForm();
    PlayerState = TPlayerState{};
}

TFormQuelm& PlayerTest::Start(const QStringList& arguments) {
    Form = std::make_unique<TFormQuelm>(arguments);
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

void PlayerTest::WriteSettings(const QByteArray& lines) {
    WriteFile(Home("Quelm.ini"), "[MedForm]\r\n" + lines);
}
