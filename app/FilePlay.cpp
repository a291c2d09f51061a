// Program entry: the player window, the colour panel and the error window, in this order, then
// the event loop until the player window closes.
#include <QApplication>
#include <memory>

#include "adjust/ColorControl.h"
#include "app/Main.h"
#include "desktop/ErrorUnit.h"

int main(int argc, char* argv[]) {
    // Embedding renderers and fixed screen placement need X11 (XWayland on Wayland).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    auto formQuelm = std::make_unique<TFormQuelm>(application.arguments().mid(1));
    auto colorControlForm = std::make_unique<TColorControlForm>();
    OpenErrorForm();
    formQuelm->show();
    const int result = application.exec();
    // The player window goes first: its shutdown may still report to the error window.
    formQuelm.reset();
    colorControlForm.reset();
    FreeErrorForm();
    return result;
}
