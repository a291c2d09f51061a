#pragma once
// The brightness filter's settings page: a brightness slider (-100..100), a contrast slider
// (0..128, 64 = unchanged) and the brightness and invert switches. Every change goes to the
// filter at once; the brightness slider's position is kept in "bfilter.ini" from one showing
// of the page to the next.
#include <QDialog>

#include "filters/TransformMain.h"

class QCheckBox;
class QLabel;
class QSlider;

class TFormPropEdit : public QDialog {
  public:
    // Reads "bfilter.ini" into the brightness slider. Closing the page disconnects it.
    explicit TFormPropEdit(QWidget* parent = nullptr);
    // Writes the brightness slider's position to "bfilter.ini".
    ~TFormPropEdit() override;

    // Attaches the page to a filter: PageFilterControl becomes its control and gets the
    // brightness slider's position. E_FAIL for an element that is not a brightness filter.
    HRESULT OnConnect(GstElement* object);
    // Clears PageFilterControl; S_OK.
    HRESULT OnDisconnect();
    // Nothing waits to be applied; S_OK.
    HRESULT OnApplyChanges();

    // -1 while OnConnect pushes the slider's value; the slider handlers then do nothing.
    int PageUpdating = 0;

    QSlider* TrackBar1;  // brightness
    QLabel* Label4;      // "-100"
    QLabel* Label2;      // "0"
    QLabel* Label3;      // "100"
    QLabel* Label1;      // ConnectionStatus after each brightness change
    QCheckBox* chkboxEnableBrightness;
    QCheckBox* chkboxEnableInvert;
    QSlider* TrackBar2;  // contrast factor

  private:
    void CreateComponents();
    void TrackBar1Change();
    void TrackBar2Change();
    void chkboxEnableBrightnessClick();
    void chkboxEnableInvertClick();
};

// The control of the filter the latest page connected to (one per process), null when none.
IZorozuDeveduControl* PageFilterControl();

// Once per process: the page's class factory under CLSID_BrightnessPage; its pages come
// connected to the filter they are created for.
void RegisterBrightnessPage();
