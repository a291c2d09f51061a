// The playlist, the media folder and the folder history.
#include "app/Main.h"

// These handlers do nothing yet.

void TFormQuelm::ScanMediaFolder(const std::string&) {}

void TFormQuelm::btnOpenFolderClick() {}

void TFormQuelm::BigDirComboBoxSelect() {}

void TFormQuelm::LvVideoSourceClick() {}

void TFormQuelm::LvVideoSourceDblClick() {}

void TFormQuelm::LbLOpenListClick() {}

void TFormQuelm::mnDeleteFileClick() {}
