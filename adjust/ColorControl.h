#pragma once
// The colour control panel: a small borderless, translucent, always-on-top window over the
// player. Created hidden at program start; it lives until the program ends.
#include <QWidget>

class TColorControlForm : public QWidget {
  public:
    explicit TColorControlForm(QWidget* parent = nullptr);
    ~TColorControlForm() override;
};

// The panel of the running program, or null while there is none.
extern TColorControlForm* ColorControlForm;
