// keyboard.h: the phone's rule that the window in front holds the keyboard, inside the core library.
#pragma once

#include "coredll.h"

// KeepKeyboardWithActivation: from now on, each window this thread activates also gets the X keyboard
// focus, even when Wine's first request for it is refused. Called by CeCreateWindowExW for a top-level
// window and by CeMessageBoxW, before the window or the box is made; later calls do nothing.
void KeepKeyboardWithActivation();
