#include "components/OutsidePress.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

TOutsidePress::TOutsidePress(QWidget* window, std::function<void()> onOutside)
    : FWindow(window), FOnOutside(std::move(onOutside)) {
    qApp->installEventFilter(this);
}

bool TOutsidePress::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::WindowDeactivate && type != QEvent::MouseButtonPress) return false;
    if (!FWindow->isVisible()) return false;
    const bool outside = type == QEvent::WindowDeactivate
                             ? watched == FWindow
                             : watched->isWindowType() && !Inside(static_cast<QWindow*>(watched));
    if (outside) FOnOutside();
    return false;
}

// The window itself or a native window inside it.
bool TOutsidePress::Inside(const QWindow* window) const {
    const QWindow* own = FWindow->windowHandle();
    for (; own && window; window = window->parent())
        if (window == own) return true;
    return false;
}
