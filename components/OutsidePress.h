#pragma once
// TOutsidePress: tells a borderless window that the user pressed the mouse somewhere else,
// its only way of being dismissed. A window manager says so by taking the activation away;
// without one the activation stays where it was, so a press on another window of the
// program counts as well. A member of the window, so that it is gone before the window's
// own destruction hides it.
#include <QObject>
#include <functional>

class QWidget;
class QWindow;

class TOutsidePress : public QObject {
  public:
    TOutsidePress(QWidget* window, std::function<void()> onOutside);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Inside(const QWindow* window) const;

    QWidget* FWindow;
    std::function<void()> FOnOutside;
};
