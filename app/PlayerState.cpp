#include "app/PlayerState.h"

TPlayerState PlayerState;
