// Opening media files: the graph and its filter chain.
#include "app/Main.h"

// The item's check flips with the click; nothing else happens yet.
void TFormQuelm::mnNoFiltersClick() {}
