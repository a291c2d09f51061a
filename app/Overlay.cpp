// The text drawn over the picture.
#include "app/Main.h"
#include "app/PlayerState.h"

// The text over the picture is the window's caption as well.
void TFormQuelm::ShowOverlayText(const std::string& text) {
    PlayerState.OverlayText = text;
    setWindowTitle(QString::fromStdString(text));
}

// The item's check flips with the click and is saved as a setting; nothing else happens yet.
void TFormQuelm::mnNoTextClick() {}
