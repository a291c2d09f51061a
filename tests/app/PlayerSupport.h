// A player window of its own for each test: a fresh program folder and drive root, a clean
// shared state, and the window's shutdown when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/Main.h"
#include "platform/IniFile.h"

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window (its creation sequence runs); arguments as after the program name.
    TFormQuelm& Start(const QStringList& arguments = {});
    // Destroys the window (its shutdown runs).
    void Close();

    // A path in the program folder, or under the drive root.
    std::string Home(const std::string& name = "") const;
    std::string Drive(const std::string& name = "") const;
    static void WriteFile(const std::string& path, const QByteArray& bytes);
    static QByteArray ReadFile(const std::string& path);
    TIniFile Settings() const { return TIniFile(Home("Quelm.ini")); }
    // A new folder under the drive root, as the playlist takes it (ending in "/").
    std::string Folder(const std::string& name) const;
    // Copies a generated clip to a path.
    static void CopyClip(const std::string& clip, const std::string& path);
    // Start, the ready step, and a playlist of the folder.
    TFormQuelm& StartWithFolder(const std::string& folder);
    // Selects the row and clicks it as the user does, and waits for its open.
    void ClickRow(int index);
    // OpenMediaFile and its outcome: S_OK, or the code of the EDirectShowException it raised,
    // at once or once the render failed.
    HRESULT OpenAndWait(const std::string& path);
    // Runs the event loop until the open under way has its outcome.
    void WaitForOpen();
    // Writes "Quelm.ini" with these lines under [MedForm].
    void WriteSettings(const QByteArray& lines);

    QTemporaryDir FHome, FDrive;
    std::unique_ptr<TFormQuelm> Form;
    // The DVD messages the window showed, in order: collected instead of modal boxes.
    QStringList DvdMessages;
};
