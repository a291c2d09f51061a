#include "adjust/ColorControl.h"

#include <gst/gst.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <optional>
#include <tuple>

#include "components/LbSpeedButton.h"
#include "components/RXSlider.h"
#include "desktop/FunctionMix.h"
#include "graph/ExternalFilters.h"
#include "pattern/Pattern.h"

TColorControlForm* ColorControlForm = nullptr;

namespace {

const char* const kAudioRule = "(?i).wav$|.mp3$|.wma$|.cda$|.ogg$|.aac$";
const char* const kRawRule = "(?i).wmv$|.asf$|.mpg$|.mpeg$";
// Of the raw filter's files only Windows Media video gets its groups reset.
const char* const kRawResetRule = "(?i).wmv$";
constexpr int kOutOfSightTop = -500;
// The desktop colours "active caption" and "gray" as Windows paints them by default.
const QColor kActiveCaption(0x99, 0xB4, 0xD1);
const QColor kGray(0x80, 0x80, 0x80);

// The status of the first of the three group resets, or nothing when there was no decoder.
std::optional<HRESULT> ResetGroups(IffDecoder* decoder) {
    if (!decoder) return std::nullopt;
    const HRESULT first = decoder->ResetFilter(IDFF_filterPictProp);
    decoder->ResetFilter(IDFF_filterSharpen);
    decoder->ResetFilter(IDFF_filterRest);
    return first;
}

}  // namespace

bool IsAudioMediaPath(const std::string& path) {
    return MatchesPattern(kAudioRule, path);
}

bool UsesRawDecoder(const std::string& path) {
    return MatchesPattern(kRawRule, path);
}

IffDecoder* ChooseDecoder(const TColorContext& context) {
    return UsesRawDecoder(context.MediaPath) ? context.RawDecoder : context.Decoder;
}

bool PictureAdjustable(const TColorContext& context) {
    return context.PlayerReady && !IsAudioMediaPath(context.MediaPath) && !context.NoFilters;
}

void PushPictureSettings(const TColorContext& context, const TPictureValues& values) {
    if (!PictureAdjustable(context) || !context.GraphActive) return;
    IffDecoder* decoder = ChooseDecoder(context);
    if (!decoder) return;
    const TPictureValues neutral;
    const std::initializer_list<std::tuple<unsigned, int, int>> settings = {
        {IDFF_brightness, values.Brightness, neutral.Brightness},
        {IDFF_contrast, values.Contrast, neutral.Contrast},
        {IDFF_saturation, values.Saturation, neutral.Saturation},
        {IDFF_sharpness, values.Sharpness, neutral.Sharpness}};
    for (const auto& [id, value, neutralValue] : settings)
        if (value != neutralValue) decoder->PutParam(id, value);
}

bool ResetDecoderGroups(const TColorContext& context) {
    std::optional<HRESULT> status;
    if (!UsesRawDecoder(context.MediaPath)) status = ResetGroups(context.Decoder);
    if (MatchesPattern(kRawResetRule, context.MediaPath)) status = ResetGroups(context.RawDecoder);
    return status == S_FALSE;
}

void ShowVideoAdjustment(const TColorContext& context, QWidget* owner,
                         const std::function<void()>& colorButton) {
    if (context.DvdMode || context.NoFilters) return;
    if (!context.DiagnosticMode) {
        colorButton();
        return;
    }
    if (!context.GraphActive) return;
    if (IffDecoder* decoder = ChooseDecoder(context)) decoder->ShowCfgDlg(owner);
}

void ShowSoundAdjustment(const TColorContext& context, QWidget* owner) {
    if (!context.PlayerReady || context.DvdMode || context.NoFilters || !context.GraphActive ||
        !context.Equalizer)
        return;
    const std::vector<CLSID> pages = FilterPages(context.Equalizer);
    if (pages.empty()) return;
    QDialog frame(owner);
    gchar* name = gst_element_get_name(context.Equalizer);
    frame.setWindowTitle(QString::fromUtf8(name));
    g_free(name);
    auto* tabs = new QTabWidget(&frame);
    for (const CLSID& id : pages)
        if (QWidget* page = CreatePropertyPage(id, context.Equalizer, tabs))
            tabs->addTab(page, page->windowTitle());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &frame);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &frame, &QDialog::accept);
    auto* layout = new QVBoxLayout(&frame);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    frame.exec();
}

// One slider row: its parameter, value label and status text. The contrast row shows its
// value only while the graph runs.
struct TColorControlForm::TRow {
    TRxSlider* Slider;
    QLabel* ValueLabel;
    unsigned ParamId;
    const char* Status;
    bool LabelWhileInactive;
};

TColorControlForm::TColorControlForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FOutsidePress(this, [this] { FormDeactivate(); }) {
    setObjectName("ColorControlForm");
    setWindowOpacity(180 / 255.0);
    setFixedSize(366, 140);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xA0, 0xA0, 0xA4));
    colours.setColor(QPalette::WindowText, QColor(0, 255, 0));
    setPalette(colours);
    setAutoFillBackground(true);
    QFont sans = font();
    sans.setStyleHint(QFont::SansSerif);
    sans.setPixelSize(11);
    setFont(sans);
    BuildComponents();
    ColorControlForm = this;
}

TColorControlForm::~TColorControlForm() {
    if (ColorControlForm == this) ColorControlForm = nullptr;
}

void TColorControlForm::BuildComponents() {
    TrackContrast = AddRow(8, Label2, "TrackContrast", "Contrast", 56, 200, 128, lblContrastValue,
                           "lblContrastValue");
    TrackSaturation = AddRow(34, Label4, "TrackSaturation", "Saturation", 0, 128, 64, lblColorValue,
                             "lblColorValue");
    TrackHue = AddRow(60, Label3, "TrackHue", "Hue", -180, 180, 0, lblHueValue, "lblHueValue");
    TrackSharpness = AddRow(86, Label1, "TrackSharpness", "Sharpness", 0, 126, 20,
                            lblSharpnessValue, "lblSharpnessValue");
    TrackContrast->OnChange = [this] { TrackContrastChange(); };
    TrackSaturation->OnChange = [this] { TrackSaturationChange(); };
    TrackHue->OnChange = [this] { TrackHueChange(); };
    TrackSharpness->OnChange = [this] { TrackSharpnessChange(); };

    lblStatus = new QLabel("0", this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setGeometry(8, 116, 200, 16);
    btnFilterDefault = new TLbSpeedButton(this);
    btnFilterDefault->setObjectName("btnFilterDefault");
    btnFilterDefault->SetCaption("Reset");
    btnFilterDefault->SetStyle(bsModern);
    btnFilterDefault->SetColor(kActiveCaption);
    btnFilterDefault->SetLightColor(QColor(0xD4, 0xE6, 0xFC));
    btnFilterDefault->SetShadowColor(kGray);
    QFont bold = font();
    bold.setBold(true);
    btnFilterDefault->setFont(bold);
    btnFilterDefault->SetFontColor(Qt::yellow);
    btnFilterDefault->SetHotTrackFont(bold);
    btnFilterDefault->SetHotTrackFontColor(Qt::red);
    btnFilterDefault->SetUseHotTrackFont(true);
    btnFilterDefault->setCursor(Qt::PointingHandCursor);
    btnFilterDefault->setGeometry(290, 112, 64, 22);
    btnFilterDefault->OnClick = [this] { btnFilterDefaultClick(); };
}

TRxSlider* TColorControlForm::AddRow(int top, QLabel*& caption, const char* name,
                                     const QString& text, int minValue, int maxValue, int value,
                                     QLabel*& valueLabel, const char* valueName) {
    caption = new QLabel(text, this);
    caption->setGeometry(8, top + 2, 60, 16);
    auto* slider = new TRxSlider(this);
    slider->setObjectName(name);
    slider->setToolTip(QString::number(value) + " Normial");
    slider->SetRange(minValue, maxValue);
    slider->SetValue(value);
    UseProgramSliderLook(*slider);
    slider->setGeometry(70, top, 240, 20);
    valueLabel = new QLabel(QString::number(value), this);
    valueLabel->setObjectName(valueName);
    valueLabel->setGeometry(318, top + 2, 40, 16);
    return slider;
}

TColorContext TColorControlForm::Context() const {
    return OnContext ? OnContext() : TColorContext{};
}

void TColorControlForm::SliderChange(const TRow& row) {
    const TColorContext context = Context();
    if (!PictureAdjustable(context)) return;
    if (context.GraphActive)
        if (IffDecoder* decoder = ChooseDecoder(context))
            decoder->PutParam(row.ParamId, row.Slider->Value());
    if (!context.GraphActive && !row.LabelWhileInactive) return;
    row.ValueLabel->setText(QString::number(row.Slider->Value()));
    lblStatus->setText(row.Status);
}

void TColorControlForm::TrackContrastChange() {
    SliderChange({TrackContrast, lblContrastValue, IDFF_contrast, "Norminal = 128", false});
}

void TColorControlForm::TrackSaturationChange() {
    SliderChange({TrackSaturation, lblColorValue, IDFF_saturation, "Norminal = 64", true});
}

void TColorControlForm::TrackHueChange() {
    SliderChange({TrackHue, lblHueValue, IDFF_hue, "Norminal = 0", true});
}

void TColorControlForm::TrackSharpnessChange() {
    SliderChange({TrackSharpness, lblSharpnessValue, IDFF_sharpness, "Norminal = 20", true});
}

void TColorControlForm::btnFilterDefaultClick() {
    const TColorContext context = Context();
    if (!context.PlayerReady || IsAudioMediaPath(context.MediaPath)) return;
    if (context.GraphActive && ResetDecoderGroups(context))
        QMessageBox::information(this, QString(), "Reset Failed!", QMessageBox::Ok);
    if (OnResetBrightness) OnResetBrightness();
    // Hue keeps its value.
    TrackContrast->SetValue(128);
    TrackSaturation->SetValue(64);
    TrackSharpness->SetValue(20);
}

// The window moves with the mouse from anywhere on its background.
void TColorControlForm::FormMouseDown(const QPoint& pointer) {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    MoveOrResizeWithPointer(this, pointer);
}

void TColorControlForm::FormDeactivate() {
    if (y() < 0) return;  // out of sight already: hiding it deactivates it once more
    FLeftUnderColorButton = PointerOnColorButton();
    FLeftAt.start();
    MoveOutOfSight();
}

bool TColorControlForm::PointerOnColorButton() const {
    return ColorButton && ColorButton->isVisible() &&
           ColorButton->rect().contains(ColorButton->mapFromGlobal(QCursor::pos()));
}

TPictureValues TColorControlForm::PictureValues(int brightness) const {
    return {brightness, TrackContrast->Value(), TrackSaturation->Value(), TrackSharpness->Value()};
}

bool TColorControlForm::ToggleShown(bool shown) {
    constexpr int kClickMs = 1000;  // a press and its release
    const bool leftForThisClick = FLeftUnderColorButton && FLeftAt.elapsed() < kClickMs;
    FLeftUnderColorButton = false;
    if (shown && (y() >= 0 || leftForThisClick)) {
        MoveOutOfSight();
        return false;
    }
    ShowCentred();
    return true;
}

void TColorControlForm::ShowCentred() {
    show();
    raise();
    if (PlayerWindow) {
        const QRect player = PlayerWindow->frameGeometry();
        move(player.center() - QPoint(width() / 2, height() / 2));
    }
    activateWindow();
}

// A window manager keeps part of a window on the screen whatever top it is given: out of
// sight is hidden as well.
void TColorControlForm::MoveOutOfSight() {
    move(x(), kOutOfSightTop);
    hide();
}

void TColorControlForm::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) FormMouseDown(event->globalPosition().toPoint());
    QWidget::mousePressEvent(event);
}
