#include "desktop/FileTypes.h"

TFormFileType::TFormFileType(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName("FormFileType");
    setWindowTitle("Associate FileTypes");
    resize(179, 380);
}
