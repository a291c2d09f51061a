// Program entry: the player window, the colour panel and the error window, in this order, then
// the event loop until the player window closes.
#include <malloc.h>

#include <QApplication>
#include <memory>

#include "adjust/ColorControl.h"
#include "app/Main.h"
#include "desktop/ErrorUnit.h"
#include "filters/PropEdit.h"
#include "filters/TransformMain.h"
#include "graph/ExternalFilters.h"
#include "graph/FilterGraph.h"
#include "platform/ScreenSaver.h"
#include "platform/TerminationSignals.h"
#include "video/FilterDialogs.h"

int main(int argc, char* argv[]) {
    // Each streaming thread of each pipeline would get a heap of its own, and an evening of
    // files left the process some megabytes larger in pages of freed frames. Two heaps keep it
    // level; the streaming threads take their frames from buffer pools, so they seldom meet
    // in the allocator.
    mallopt(M_ARENA_MAX, 2);
    // Embedding renderers and fixed screen placement need X11 (XWayland on Wayland).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    KeepFromStartingSessionBus();
    QApplication application(argc, argv);
    QuitOnTerminationSignals();
    // Our filter with its page and the stand-ins for the external filters with their dialogs,
    // before any graph asks for them.
    RegisterBrightnessFilter();
    RegisterBrightnessPage();
    RegisterExternalFilters();
    RegisterFilterDialogs();
    auto formQuelm = std::make_unique<TFormQuelm>(application.arguments().mid(1));
    // What the graph's event handlers raise goes where the other handlers' exceptions go.
    SetGraphExceptionHook([form = formQuelm.get()](const std::exception& error) {
        form->HandleAppException(form, error);
    });
    auto colorControlForm = std::make_unique<TColorControlForm>();
    formQuelm->LinkColorControlForm(*colorControlForm);
    OpenErrorForm();
    formQuelm->show();
    const int result = application.exec();
    SetGraphExceptionHook(nullptr);
    // The player window goes first: its shutdown may still report to the error window.
    formQuelm.reset();
    colorControlForm.reset();
    FreeErrorForm();
    return result;
}
