// What the journeys share: a folder of clips and the settings a run starts with, waits for
// what the screen shows (a caption, a colour in a place), and the places of the player's
// controls a user clicks.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/X11Support.h"

// Whether the test runs under a window manager with a compositor (the ".wm" runs).
bool UnderWindowManager();

// Copies generated clips into a folder below the run's drive root: each pair is a clip of
// tools/make-test-media and the name it gets there. Returns the folder (ends in "/").
QString MakeMediaFolder(const VexloProcess& vexlo, const QString& name,
                        const std::vector<std::pair<QString, QString>>& clips);
// Writes "Quelm.ini" into the program folder: [MedForm] with the given "Key=Value" lines.
void WriteSettings(const VexloProcess& vexlo, const QStringList& lines);

// Polls done every 50 ms until it holds or the time is up; returns whether it held.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);
// Waits for the caption to match; returns the last caption read.
QString WaitForTitle(const VexloProcess& vexlo, const QRegularExpression& pattern,
                     int timeoutMs = 8000);
// Waits until the mean colour of area (window coordinates) is near colour; returns whether
// it came, and the last mean colour in last when given.
bool WaitForColour(const VexloProcess& vexlo, const QRect& area, const QColor& colour,
                   int timeoutMs = 8000, QColor* last = nullptr);
// The share (0..1) of the pixels of area inside image that are near colour.
double ShareNear(const QImage& image, const QRect& area, const QColor& colour,
                 int tolerance = 40);
// The share of pure-ish green pixels (the text over the picture) in area.
double GreenTextShare(const QImage& image, const QRect& area);

// Saves a screenshot of the window as build/<preset>/e2e-shots/<name>[.wm].png, for a person
// to look at after the run.
void SaveShot(const VexloProcess& vexlo, const QString& name);

// Where the user clicks, for a window of the given size (window coordinates).
struct TPlayerLayout {
    explicit TPlayerLayout(const QSize& window);
    QSize Window;
    QPoint OpenLabel() const;    // "Open"/"Close" at the right of the bottom bar
    QPoint ExitButton() const;
    QPoint PlayButton() const;
    QPoint PauseButton() const;
    QPoint StopButton() const;
    QPoint ColourButton() const;
    QRect VolumeSlider() const;  // on the bottom bar, the diagnostic EVR box being hidden
    QRect Picture() const;       // the picture area without the panel, above the bottom bar
    QRect PictureBesidePanel(int panelWidth) const;
    QPoint Row(int panelLeft, int index) const;  // a playlist row of an open panel
};

// A player on a folder of the given clips (at 100,100, 620 x 400), started, its window found,
// past its ready step.
class TFolderJourney : public ::testing::Test {
  protected:
    void Open(const std::vector<std::pair<QString, QString>>& clips,
              const QStringList& settings = {});
    // Opens the panel, clicks a row and waits for its name in the caption.
    void PlayRow(int index, const QString& name);
    // Saves the screen and closes the player, which must end well.
    void Finish(const QString& shot);

    VexloProcess vexlo;
    std::unique_ptr<TPlayerLayout> layout;
    QString folder;  // of the clips, ends in "/"
};
