// The text drawn over the picture.
#include "app/Main.h"

// The item's check flips with the click and is saved as a setting; nothing else happens yet.
void TFormQuelm::mnNoTextClick() {}
