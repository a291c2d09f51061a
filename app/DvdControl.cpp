// DVD navigation commands.
#include "app/Main.h"

// These handlers do nothing yet.

void TFormQuelm::OpenDvdVolume(const std::string&) {}

void TFormQuelm::SeekDvdTime(int) {}

void TFormQuelm::ActivateDvdButtonAt(QObject*, const QPoint&) {}

void TFormQuelm::SelectDvdButtonAt(QObject*, const QPoint&) {}

void TFormQuelm::RootMenu1Click() {}

void TFormQuelm::TitleMenu1Click() {}

void TFormQuelm::NextChapter1Click() {}

void TFormQuelm::PreviousChapter1Click() {}

void TFormQuelm::MenuItem2Click() {}

void TFormQuelm::MenuItem3Click() {}
