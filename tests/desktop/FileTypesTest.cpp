// The file-type dialog: its look and rows, what Apply writes (registry keys, desktop entry,
// defaults, notifications), the 100 ms close after success and failure, and hiding that
// keeps the ticks.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "desktop/FileTypes.h"
#include "platform/RegistryStore.h"
#include "tests/platform/ShellSupport.h"

namespace {

const QStringList kVideoTypes = {".asf",  ".avi",  ".ifo",  ".flv", ".mkv",  ".m4v", ".mp4", ".mpg",
                                 ".mpeg", ".m2ts", ".mpls", ".rm",  ".rmvb", ".wmv", ".webm"};

std::string Exe() {
    return QCoreApplication::applicationFilePath().toStdString();
}

std::optional<std::string> DefaultValue(const std::string& key) {
    return RegistryStore().String(HKEY_CLASSES_ROOT, key, "");
}

void Tick(TFormFileType& form, const QStringList& captions) {
    for (int i = 0; i < form.LvTypes->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = form.LvTypes->topLevelItem(i);
        item->setCheckState(0, captions.contains(item->text(0)) ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList Ticked(const TFormFileType& form) {
    QStringList captions;
    for (int i = 0; i < form.LvTypes->topLevelItemCount(); ++i)
        if (form.LvTypes->topLevelItem(i)->checkState(0) == Qt::Checked)
            captions << form.LvTypes->topLevelItem(i)->text(0);
    return captions;
}

// Clicks Apply on the shown dialog; the milliseconds until it was hidden (-1: it stayed).
int ApplyAndTimeTheClose(TFormFileType& form) {
    form.show();
    QElapsedTimer clock;
    clock.start();
    form.btnApply->click();
    if (PumpUntil([&] { return form.isHidden(); }, 2000)) return Elapsed(clock);
    return -1;
}

}  // namespace

TEST(FileTypesTest, LooksAsTheFormSays) {
    TFormFileType form;
    EXPECT_EQ(form.windowTitle(), "Associate FileTypes");
    EXPECT_EQ(form.size(), QSize(179, 380));
    form.show();
    ASSERT_TRUE(PumpUntil([&] { return form.Paneles1->height() == 41; }, 2000));
    EXPECT_EQ(form.Paneles1->geometry(), QRect(0, 380 - 41, 179, 41));
    EXPECT_EQ(form.LvTypes->geometry(), QRect(0, 0, 179, 380 - 41));
    EXPECT_EQ(form.btnApply->text(), "Apply");
    EXPECT_EQ(form.btnApply->geometry(), QRect(8, 8, 75, 25));
    EXPECT_EQ(form.btnCancel->text(), "Cancel");
    EXPECT_EQ(form.btnCancel->geometry(), QRect(88, 8, 75, 25));
    EXPECT_EQ(form.LvTypes->columnWidth(0), 100);

    QStringList captions;
    for (int i = 0; i < form.LvTypes->topLevelItemCount(); ++i)
        captions << form.LvTypes->topLevelItem(i)->text(0);
    EXPECT_EQ(captions, kVideoTypes + QStringList({".mp3", ".wav", ".wma"}));
    EXPECT_EQ(Ticked(form), kVideoTypes);
}

TEST(FileTypesTest, FirstShowingIsCentredOnTheOwnerAndClosingKeepsTheTicks) {
    QWidget player;
    player.setGeometry(300, 200, 620, 480);
    auto* form = new TFormFileType(&player);
    form->show();
    EXPECT_EQ(form->frameGeometry().center(), player.frameGeometry().center());

    Tick(*form, {".mkv", ".mp3"});
    form->close();
    EXPECT_TRUE(form->isHidden());
    form->show();
    EXPECT_EQ(Ticked(*form), QStringList({".mkv", ".mp3"}));
    form->btnCancel->click();
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(Ticked(*form), QStringList({".mkv", ".mp3"}));
}

TEST(FileTypesTest, NothingTickedWritesNothingAndClosesAfter100Ms) {
    TDesktopSandbox sandbox;
    TFormFileType form;
    Tick(form, {});
    // A ticked caption without its dot is not an extension.
    auto* loose = new QTreeWidgetItem(form.LvTypes, {"avi"});
    loose->setCheckState(0, Qt::Checked);
    bool reported = false;
    form.OnException = [&](const std::exception&) { reported = true; };
    const int closedAfter = ApplyAndTimeTheClose(form);
    EXPECT_GE(closedAfter, 100);
    EXPECT_LT(closedAfter, 1000);
    PumpFor(200);
    EXPECT_FALSE(QFile::exists(sandbox.Path("home/Registry.reg")));
    EXPECT_FALSE(QFile::exists(sandbox.Path("data/applications/vexlo.desktop")));
    EXPECT_FALSE(QFile::exists(sandbox.Path("config/mimeapps.list")));
    EXPECT_TRUE(sandbox.Notifications().isEmpty());
    EXPECT_FALSE(reported);
}

TEST(FileTypesTest, TheDefaultSelectionWritesFourKeysPerVideoTypeAndTellsTheDesktop15Times) {
    TDesktopSandbox sandbox;
    TFormFileType form;
    EXPECT_GE(ApplyAndTimeTheClose(form), 100);
    for (const QString& caption : kVideoTypes) {
        const std::string e = caption.mid(1).toStdString();
        SCOPED_TRACE(e);
        EXPECT_EQ(DefaultValue("." + e), e + "file");
        EXPECT_TRUE(RegistryStore().KeyExists(HKEY_CLASSES_ROOT, e + "file"));
        EXPECT_EQ(DefaultValue(e + "file\\DefaultIcon"), Exe() + ",0");
        EXPECT_EQ(DefaultValue(e + "file\\shell\\open\\command"), "\"" + Exe() + "\" \"%1\"");
    }
    EXPECT_FALSE(RegistryStore().KeyExists(HKEY_CLASSES_ROOT, ".mp3"));
    EXPECT_EQ(sandbox.NotificationsAfterWaiting(15).size(), 15);
    EXPECT_NE(sandbox.Entry().find("video/x-matroska;"), std::string::npos);
    EXPECT_NE(sandbox.MimeApps().find("\nvideo/x-msvideo=vexlo.desktop\n"), std::string::npos);
    EXPECT_EQ(sandbox.MimeApps().find("audio/"), std::string::npos);

    // Applying again changes no byte of what the first run wrote.
    const std::string registry = sandbox.Registry();
    const std::string entry = sandbox.Entry();
    const std::string defaults = sandbox.MimeApps();
    EXPECT_GE(ApplyAndTimeTheClose(form), 100);
    EXPECT_EQ(sandbox.Registry(), registry);
    EXPECT_EQ(sandbox.Entry(), entry);
    EXPECT_EQ(sandbox.MimeApps(), defaults);
}

TEST(FileTypesTest, AFailureEndsTheRunReachesTheHookAndTheDialogStillCloses) {
    TDesktopSandbox sandbox;
    const std::string foreign = "[Default Applications]\nvideo/x-msvideo=vlc.desktop\n";
    sandbox.Write("config/mimeapps.list", foreign);
    QFile::setPermissions(sandbox.Path("config/mimeapps.list"), QFile::ReadOwner);
    TFormFileType form;
    std::vector<std::string> errors;
    form.OnException = [&](const std::exception& error) { errors.push_back(error.what()); };
    EXPECT_GE(ApplyAndTimeTheClose(form), 100);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("mimeapps.list"), std::string::npos);
    EXPECT_EQ(sandbox.MimeApps(), foreign);
    // The first extension got its keys but no notification; the rest were not touched.
    EXPECT_EQ(DefaultValue(".asf"), "asffile");
    EXPECT_FALSE(RegistryStore().KeyExists(HKEY_CLASSES_ROOT, ".avi"));
    PumpFor(300);
    EXPECT_TRUE(sandbox.Notifications().isEmpty());

    // A registry that cannot be written fails the same way; without a hook the error is dropped.
    QFile::remove(sandbox.Path("home/Registry.reg"));
    QFile::remove(sandbox.Path("data/applications/vexlo.desktop"));
    QDir().mkpath(sandbox.Path("home/Registry.reg"));
    form.OnException = nullptr;
    EXPECT_GE(ApplyAndTimeTheClose(form), 100);
    EXPECT_FALSE(QFile::exists(sandbox.Path("data/applications/vexlo.desktop")));
}
