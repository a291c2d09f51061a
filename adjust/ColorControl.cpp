#include "adjust/ColorControl.h"

TColorControlForm* ColorControlForm = nullptr;

TColorControlForm::TColorControlForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("ColorControlForm");
    setWindowOpacity(180 / 255.0);
    resize(366, 140);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xA0, 0xA0, 0xA4));
    colours.setColor(QPalette::WindowText, QColor(0, 255, 0));
    setPalette(colours);
    setAutoFillBackground(true);
    ColorControlForm = this;
}

TColorControlForm::~TColorControlForm() {
    if (ColorControlForm == this) ColorControlForm = nullptr;
}
