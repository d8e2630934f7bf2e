// The one instance of the game's record.
#include "game.h"

GameState g_state;
