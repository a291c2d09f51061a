#include "tests/e2e/JourneySupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "tests/support/TestMedia.h"

namespace {

constexpr int kBarHeight = 15;
constexpr int kRepeatPanelHeight = 16;
constexpr int kRowHeight = 17;

}  // namespace

bool UnderWindowManager() {
    return qEnvironmentVariable("VEXLO_TEST_WM") == "1";
}

QString MakeMediaFolder(const VexloProcess& vexlo, const QString& name,
                        const std::vector<std::pair<QString, QString>>& clips) {
    const QString folder = vexlo.DriveRoot() + name + "/";
    EXPECT_TRUE(QDir().mkpath(folder));
    for (const auto& [clip, file] : clips) {
        QFile::remove(folder + file);
        EXPECT_TRUE(QFile::copy(QString::fromStdString(TestMediaPath(clip.toStdString())),
                                folder + file))
            << clip.toStdString();
    }
    return folder;
}

void WriteSettings(const VexloProcess& vexlo, const QStringList& lines) {
    QFile settings(vexlo.Home() + "Quelm.ini");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(("[MedForm]\r\n" + lines.join("\r\n") + "\r\n").toUtf8());
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QThread::msleep(50);
    }
    return true;
}

QString WaitForTitle(const VexloProcess& vexlo, const QRegularExpression& pattern,
                     int timeoutMs) {
    QString title;
    WaitFor([&] { return pattern.match(title = vexlo.Title()).hasMatch(); }, timeoutMs);
    return title;
}

bool WaitForColour(const VexloProcess& vexlo, const QRect& area, const QColor& colour,
                   int timeoutMs, QColor* last) {
    QColor seen;
    const bool near = WaitFor(
        [&] { return ColourNear(seen = AverageColour(vexlo.Grab(), area), colour, 40); },
        timeoutMs);
    if (last) *last = seen;
    return near;
}

double ShareNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
    const QRect inside = area & image.rect();
    if (inside.isEmpty()) return 0;
    long long near = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            near += ColourNear(QColor(image.pixel(x, y)), colour, tolerance);
    return double(near) / (double(inside.width()) * inside.height());
}

double GreenTextShare(const QImage& image, const QRect& area) {
    return ShareNear(image, area, QColor(0, 255, 0), 60);
}

void SaveShot(const VexloProcess& vexlo, const QString& name) {
    const QString folder = qEnvironmentVariable("VEXLO_BIN_DIR") + "/../e2e-shots/";
    QDir().mkpath(folder);
    vexlo.Grab().save(folder + name + (UnderWindowManager() ? ".wm" : "") + ".png");
}

TPlayerLayout::TPlayerLayout(const QSize& window) : Window(window) {}

QPoint TPlayerLayout::OpenLabel() const {
    return {Window.width() - 85, Window.height() - 8};
}

QPoint TPlayerLayout::ExitButton() const {
    return {Window.width() - 106 + 80 + 9, Window.height() - 8};
}

QPoint TPlayerLayout::PlayButton() const {
    return {2 + 9, Window.height() - 8};
}

QPoint TPlayerLayout::PauseButton() const {
    return {2 + 18 + 2 + 9, Window.height() - 8};
}

QPoint TPlayerLayout::StopButton() const {
    return {2 + 2 * (18 + 2) + 9, Window.height() - 8};
}

QPoint TPlayerLayout::ColourButton() const {
    return {2 + 3 * (18 + 2) + 9, Window.height() - 8};
}

QRect TPlayerLayout::VolumeSlider() const {
    // Five buttons, the zoom box and the brightness slider before it.
    return {2 + 5 * (18 + 2) + (15 + 2) + (70 + 2), Window.height() - kBarHeight, 70, kBarHeight};
}

QRect TPlayerLayout::Picture() const {
    return {0, 0, Window.width(), Window.height() - kBarHeight};
}

QRect TPlayerLayout::PictureBesidePanel(int panelWidth) const {
    return {0, 0, Window.width() - panelWidth, Window.height() - kBarHeight};
}

QPoint TPlayerLayout::Row(int panelLeft, int index) const {
    return {panelLeft + 60, kRepeatPanelHeight + kRowHeight / 2 + index * kRowHeight};
}

void TFolderJourney::Open(const std::vector<std::pair<QString, QString>>& clips,
                          const QStringList& settings) {
    folder = MakeMediaFolder(vexlo, "films", clips);
    WriteSettings(vexlo, QStringList{"VideoFolder=" + folder, "FrmLeft=100", "FrmTop=100",
                                     "FrmWidth=620", "FrmHeight=400"} +
                             settings);
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    layout = std::make_unique<TPlayerLayout>(vexlo.Geometry().size());
    QThread::msleep(600);  // the ready step
}

void TFolderJourney::PlayRow(int index, const QString& name) {
    vexlo.Click(layout->OpenLabel());
    QThread::msleep(300);
    vexlo.Click(layout->Row(layout->Window.width() / 4, index));
    const QString title = WaitForTitle(
        vexlo, QRegularExpression("\\[" + QRegularExpression::escape(name) + "\\]$"));
    ASSERT_TRUE(title.endsWith("[" + name + "]")) << title.toStdString();
}

void TFolderJourney::Finish(const QString& shot) {
    SaveShot(vexlo, shot);
    EXPECT_EQ(vexlo.Close(), 0);
}
