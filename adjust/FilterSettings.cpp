#include "adjust/FilterSettings.h"

// These routines change nothing yet.

void RegisterMissingFilters() {}

void DisableFilterTrayUi() {}

void SetFfdshowPictureProps(int) {}
