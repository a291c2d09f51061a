// Input for widget tests: real mouse, key and pointer events sent to a widget.
#pragma once

#include <QPoint>
#include <Qt>

class QWidget;

void Press(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void Move(QWidget* widget, QPoint to, Qt::MouseButtons held = Qt::LeftButton);
void Release(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void Key(QWidget* widget, int key);
void Enter(QWidget* widget);
void Leave(QWidget* widget);
