#pragma once
// The colour control panel: a small borderless, translucent, always-on-top window over the
// player with the contrast, saturation, hue and sharpness sliders and "Reset". It lives from
// program start to end; out of sight it sits at top -500, hidden, never destroyed.
//
// The panel and the player window's adjustment commands drive the ffdshow decoders of the
// running graph through IffDecoder. What they need of the player comes in a TColorContext,
// read afresh at each use (the decoders are asked for their interface each time).
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "components/OutsidePress.h"

class IffDecoder;
class QLabel;
class TLbSpeedButton;
class TRxSlider;
struct _GstElement;

struct TColorContext {
    bool PlayerReady = false;
    bool DvdMode = false;
    bool DiagnosticMode = false;
    bool NoFilters = false;  // "No Color Control Filters" is checked
    bool GraphActive = false;
    std::string MediaPath;
    IffDecoder* Decoder = nullptr;     // the ffdshow video decoder's interface, null if none
    IffDecoder* RawDecoder = nullptr;  // the ffdshow raw video filter's, null if none
    _GstElement* Equalizer = nullptr;  // the graphic equaliser in the graph, null if none
};

// The settings the bulk push sends; the defaults are the neutral values.
struct TPictureValues {
    int Brightness = 0;
    int Contrast = 128;
    int Saturation = 64;
    int Sharpness = 20;
};

// Sound only: no picture to adjust.
bool IsAudioMediaPath(const std::string& path);
// Windows Media and MPEG files: their picture goes through the raw video filter.
bool UsesRawDecoder(const std::string& path);
// The interface a value for the open file goes to; null when that decoder offers none.
IffDecoder* ChooseDecoder(const TColorContext& context);
// Player ready, a file with a picture, and the colour filters not switched off.
bool PictureAdjustable(const TColorContext& context);
// The bulk push: when the picture is adjustable and the graph active, brightness, contrast,
// saturation and sharpness, in this order, each only when it is not neutral. Hue never.
void PushPictureSettings(const TColorContext& context, const TPictureValues& values);
// Resets the picture, sharpen and other groups of the decoder the file's name calls for
// (ffdshow outside the raw rule, the raw filter for ".wmv" only). True when a reset was done
// and its first call failed.
bool ResetDecoderGroups(const TColorContext& context);
// "Video Adjustment": nothing on a DVD or with the colour filters off; outside diagnostic mode
// the colour button's toggle; in it, while the graph runs, the decoder's own dialog.
void ShowVideoAdjustment(const TColorContext& context, QWidget* owner,
                         const std::function<void()>& colorButton);
// "Sound Adjustment": while a file plays (player ready, no DVD, colour filters on, graph
// active) the equaliser's settings pages in a modal frame owned by owner.
void ShowSoundAdjustment(const TColorContext& context, QWidget* owner);

class TColorControlForm : public QWidget {
  public:
    explicit TColorControlForm(QWidget* parent = nullptr);
    ~TColorControlForm() override;

    QLabel *Label2, *Label4, *Label3, *Label1;  // "Contrast", "Saturation", "Hue", "Sharpness"
    TRxSlider *TrackContrast, *TrackSaturation, *TrackHue, *TrackSharpness;
    QLabel *lblContrastValue, *lblColorValue, *lblHueValue, *lblSharpnessValue;
    QLabel* lblStatus;
    TLbSpeedButton* btnFilterDefault;

    // Set by the player window: its state for each push, and the step that puts its
    // brightness slider back to 0 (Reset).
    std::function<TColorContext()> OnContext;
    std::function<void()> OnResetBrightness;
    // The window the panel centres itself over, and the colour button on it.
    QPointer<QWidget> PlayerWindow;
    QPointer<QWidget> ColorButton;

    void TrackContrastChange();
    void TrackSaturationChange();
    void TrackHueChange();
    void TrackSharpnessChange();
    // "Reset" and "Set Default": the decoder groups (with "Reset Failed!" when that failed)
    // and the sliders back to neutral, each pushing its value as a moved slider does.
    void btnFilterDefaultClick();
    void FormMouseDown(const QPoint& pointer);
    void FormDeactivate();

    // The panel's settings with the given brightness, for the bulk push.
    TPictureValues PictureValues(int brightness) const;
    // The colour button: hides the panel when it is shown and in sight, else shows it centred
    // over the player; returns whether it is shown now.
    bool ToggleShown(bool shown);
    void ShowCentred();
    // Top -500, and hidden.
    void MoveOutOfSight();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    struct TRow;
    void BuildComponents();
    TRxSlider* AddRow(int top, QLabel*& caption, const char* name, const QString& text,
                      int minValue, int maxValue, int value, QLabel*& valueLabel,
                      const char* valueName);
    void SliderChange(const TRow& row);
    TColorContext Context() const;
    bool PointerOnColorButton() const;

    // A press on the colour button takes the activation away before its click arrives; that
    // click must hide the panel, not bring it back.
    bool FLeftUnderColorButton = false;
    QElapsedTimer FLeftAt;
    TOutsidePress FOutsidePress;
};

// The panel of the running program, or null while there is none.
extern TColorControlForm* ColorControlForm;
