#include "tests/components/InputSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

void Press(QWidget* widget, QPoint at, Qt::MouseButton button) {
    SendMouse(widget, QEvent::MouseButtonPress, at, button, button);
}

void Move(QWidget* widget, QPoint to, Qt::MouseButtons held) {
    SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, held);
}

void Release(QWidget* widget, QPoint at, Qt::MouseButton button) {
    SendMouse(widget, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

void Key(QWidget* widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Enter(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    QEnterEvent event(centre, centre, widget->mapToGlobal(centre));
    QApplication::sendEvent(widget, &event);
}

void Leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}
