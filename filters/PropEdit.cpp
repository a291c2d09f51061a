#include "filters/PropEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <mutex>

#include "filters/BrightnessSettings.h"
#include "platform/DebugOutput.h"

namespace {

// PageFilterControl with a reference on its element, so the filter outlives the page's use.
// UI thread only.
class TPageFilterControl {
  public:
    ~TPageFilterControl() { Clear(); }
    IZorozuDeveduControl* Control() const { return FControl; }
    void Set(GstElement* element, IZorozuDeveduControl* control) {
        gst_object_ref(element);
        Clear();
        FElement = element;
        FControl = control;
    }
    void Clear() {
        if (FElement) gst_object_unref(FElement);
        FElement = nullptr;
        FControl = nullptr;
    }

  private:
    GstElement* FElement = nullptr;
    IZorozuDeveduControl* FControl = nullptr;
};

TPageFilterControl& PageControl() {
    static TPageFilterControl control;
    return control;
}

void DebugError(const char* operation) {
    OutputDebugString(std::string("dov: Error in TFormPropEdit.") + operation + " call...");
}

QSlider* MakeTrackBar(QWidget* parent, int minimum, int maximum, int position, int top) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(minimum, maximum);
    bar->setTickInterval(10);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setValue(position);
    bar->setGeometry(8, top, 328, 28);
    return bar;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, QRect place, Qt::Alignment alignment) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(place);
    label->setAlignment(alignment);
    return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* caption, bool checked, int left) {
    auto* box = new QCheckBox(caption, parent);
    box->setChecked(checked);
    box->setGeometry(left, 84, 150, 20);
    return box;
}

}  // namespace

IZorozuDeveduControl* PageFilterControl() {
    return PageControl().Control();
}

TFormPropEdit::TFormPropEdit(QWidget* parent) : QDialog(parent) {
    CreateComponents();
    TrackBar1->setValue(ReadBrightnessSetting());  // the slider clamps to its range
    connect(TrackBar1, &QSlider::valueChanged, this, &TFormPropEdit::TrackBar1Change);
    connect(TrackBar2, &QSlider::valueChanged, this, &TFormPropEdit::TrackBar2Change);
    connect(chkboxEnableBrightness, &QCheckBox::clicked, this,
            &TFormPropEdit::chkboxEnableBrightnessClick);
    connect(chkboxEnableInvert, &QCheckBox::clicked, this, &TFormPropEdit::chkboxEnableInvertClick);
    connect(this, &QDialog::finished, this, &TFormPropEdit::OnDisconnect);
}

void TFormPropEdit::CreateComponents() {
    setWindowTitle("Brightness");
    setFixedSize(344, 190);
    QFont font("Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    TrackBar1 = MakeTrackBar(this, -100, 100, 0, 8);
    Label4 = MakeLabel(this, "-100", QRect(8, 38, 40, 14), Qt::AlignLeft);
    Label2 = MakeLabel(this, "0", QRect(152, 38, 40, 14), Qt::AlignHCenter);
    Label3 = MakeLabel(this, "100", QRect(296, 38, 40, 14), Qt::AlignRight);
    Label1 = MakeLabel(this, "Status", QRect(8, 60, 328, 16), Qt::AlignLeft);
    chkboxEnableBrightness = MakeCheckBox(this, "Enable Brightness", true, 8);
    chkboxEnableInvert = MakeCheckBox(this, "Enable Invert", false, 176);
    TrackBar2 = MakeTrackBar(this, 0, 128, 64, 120);
}

TFormPropEdit::~TFormPropEdit() {
    try {
        WriteBrightnessSetting(TrackBar1->value());
    } catch (...) {
        DebugError("Destroy");  // a settings file we cannot write must not end the program
    }
}

HRESULT TFormPropEdit::OnConnect(GstElement* object) {
    IZorozuDeveduControl* control = QueryZorozuDeveduControl(object);
    if (!control) {
        OutputDebugString("dov: Error - IZorozuDeveduControl not supported.");
        return E_FAIL;
    }
    PageControl().Set(object, control);
    PageUpdating = -1;
    control->SetBrightness(TrackBar1->value());
    PageUpdating = 0;
    return S_OK;
}

HRESULT TFormPropEdit::OnDisconnect() {
    PageControl().Clear();
    return S_OK;
}

HRESULT TFormPropEdit::OnApplyChanges() {
    return S_OK;
}

void TFormPropEdit::TrackBar1Change() {
    IZorozuDeveduControl* control = PageFilterControl();
    if (!control || PageUpdating != 0) return;
    try {
        control->SetBrightness(TrackBar1->value());
        Label1->setText(QString::fromStdString(ConnectionStatus()));
    } catch (...) {
        DebugError("TrackBar1Change");
    }
}

void TFormPropEdit::TrackBar2Change() {
    IZorozuDeveduControl* control = PageFilterControl();
    if (!control || PageUpdating != 0) return;
    try {
        control->SetContrast(static_cast<int16_t>(TrackBar2->value()));
    } catch (...) {
        DebugError("TrackBar2Change");
    }
}

void TFormPropEdit::chkboxEnableBrightnessClick() {
    IZorozuDeveduControl* control = PageFilterControl();
    if (!control) return;
    const bool enabled = chkboxEnableBrightness->isChecked();
    control->SetBrightnessEnabled(enabled);
    if (!enabled) control->MarkBrightnessOff();
}

void TFormPropEdit::chkboxEnableInvertClick() {
    IZorozuDeveduControl* control = PageFilterControl();
    if (control) control->SetInvert(chkboxEnableInvert->isChecked());
}

void RegisterBrightnessPage() {
    static std::once_flag once;
    std::call_once(once, [] {
        TClassFactory factory{CLSID_BrightnessPage, "Brightness", {}, {}};
        factory.CreatePage = [](GstElement* filter, QWidget* parent) -> QWidget* {
            auto* page = new TFormPropEdit(parent);
            page->OnConnect(filter);
            return page;
        };
        RegisterClassFactory(std::move(factory));
    });
}
