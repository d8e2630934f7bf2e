// tilt_sources.h: where the phone's tilt comes from, without the input devices themselves.
//
// The sensor library turns the player's keys, mouse drags and gamepad stick (or a scripted file) into tilt
// readings. The rules live here, apart from the polling, so that they can be checked directly.
//
// Signs: tilting the phone's top edge away from the player (Up, W, stick up, dragging up) makes tiltY
// negative, which fires the engine; lowering its right edge (Right, D, stick right, dragging right) makes
// tiltX positive, which moves the lander right. One unit is a thousandth of full gravity, so the readings
// stay within -1000..1000 (the phone on its edge).
#pragma once

#include "coredll.h"

#include <stdint.h>

#include <string>
#include <vector>

namespace tilt {

const int kLimit = 1000;          // tilt of a phone standing on its edge
const int kKeyFullTiltX = 600;    // held sideways key: enough for the fastest sideways step
const int kKeyFullTiltY = 240;    // held forward key: enough for full thrust
const int kRampSamples = 8;       // samples a held key takes to reach its full tilt
const int kDragUnitsPerPixel = 4; // mouse drag: tilt per pixel from the press point
const int kStickDeadZone = 7849;  // the usual left-stick dead zone of XInput pads
const int kStickFullTiltX = 1000; // stick pushed fully sideways
const int kStickFullTiltY = 300;  // stick pushed fully up or down

struct Sample {
    int16_t tiltX = 0;
    int16_t tiltY = 0;
};

// One scripted sample per data request.
struct Script {
    std::vector<Sample> samples;
    std::vector<std::string> problems; // one message per bad line, naming the line
};

// Parses script text: one "tiltX tiltY" line per sample, each a decimal integer from -32768 to 32767.
// Blank lines and comments (from '#' to the end of the line) are skipped. A bad line (not exactly two such
// integers) gives a 0 0 sample and a message in `problems`.
Script ParseScript(const std::string& text);

// One axis of the keyboard: the tilt grows with each sample the key stays held, from a small tilt for a
// single sample to full tilt after kRampSamples; it drops to 0 as soon as the key is let go, and starts again
// from the small tilt when the direction reverses.
struct AxisRamp {
    int direction = 0;
    int heldSamples = 0;
};
// direction: -1, 0 or +1 (both keys of an axis held counts as 0). Returns the axis's tilt for this sample.
int NextRampTilt(AxisRamp* ramp, int direction, int fullTilt);

// Mouse drag: the tilt of a drag `pixels` long along one axis (screen y grows downward, so dragging up gives
// a negative tiltY, as tipping the top edge away does).
int DragTilt(int pixels);

// Gamepad left stick: one axis (-32768..32767) to tilt, nothing inside the dead zone, full tilt at the rim.
// XInput's y axis grows upward, so callers negate the result for tiltY.
int StickTilt(int thumb, int fullTilt);

// Sum of several sources, kept within -kLimit..kLimit.
int16_t Combine(int a, int b, int c);

// Which window holds the player's attention, as far as the live sources care.
enum Front {
    kFrontNone,      // no window is in front (nobody else's either)
    kFrontGame,      // a window of this program, with no menu or box of it open
    kFrontGamePopup, // a menu, dialog or message box of this program: the d-pad moves its selection
    kFrontOther,     // another program's window
};

// Classifies a window: whether it belongs to this program, its class name and whether its thread is in a
// menu. Menus ("#32768") and dialogs and message boxes ("#32770") are pop-ups.
Front FrontOf(bool ours, const wchar_t* className, bool inMenu);

// Asks the window server what is in front now (one round trip or two). Called by the sensor library only
// while some live source has something to say.
Front ReadFront();

// What the player does on one sample, before the rule of who is in front.
struct LiveInput {
    int keysX = 0, keysY = 0;            // -1, 0 or +1: the arrow and WASD keys and the pad's d-pad
    POINT pressedAt = {}, cursorAt = {}; // a drag: where the button went down, and the cursor now
    Front dragFront = kFrontNone;        // what the press went down on
    int stickX = 0, stickY = 0;          // the left stick (XInput's y grows upward)
    Sample phone;
};

// The live sources' tilt for one sample. Nothing counts while another program is in front. A menu or box of
// this program takes the keys and the d-pad, as the d-pad of a phone does; the phone and the stick still
// tilt, since the round goes on. A drag counts only when it started on the game itself.
Sample LiveTilt(Front front, const LiveInput& input, AxisRamp* rampX, AxisRamp* rampY);

} // namespace tilt
