// phone_source.h: a real phone as a tilt source, read over the local network.
//
// The player runs phyphox on a phone, opens its experiment "Acceleration with g" and enables its remote
// access; the phone then serves its sensor buffers over HTTP. The source asks for the last values of the
// buffers accX, accY and accZ (the document /get?accX&accY&accZ) about twenty times a second on a thread of
// its own, and starts the measurement (/control?cmd=start) when the phone says it is not measuring. A data
// request of the game only reads the latest sample from memory, so a slow or lost phone never delays a tick;
// a sample older than kStaleMs reads 0 0.
//
// It is a client only: it talks to the one host it was given, through no proxy and no redirect, one request
// at a time, each capped at kMaxBody bytes and kDeadlineMs milliseconds. A request that fails is dropped and
// counted, and the source goes on asking. Changes of the link are reported on standard error and in the
// phone's event trace, and published in the shared tilt record for the taskbar.
//
// The reading rules (the address, the /get document, the tilt) are apart from the thread, so that they can be
// checked directly.
#pragma once

#include "tilt_shared.h"
#include "tilt_sources.h"

#include <mutex>
#include <string>

namespace phone {

const int kDefaultPort = 8080;         // what phyphox's remote access shows on Android
const DWORD kPollMs = 50;              // a request every 50 ms while the phone answers
const DWORD kRetryMs = 500;            // and every 500 ms while it does not
const DWORD kDeadlineMs = 500;         // a whole request, from connecting to the last byte
const DWORD kStaleMs = 500;            // a sample this old no longer tilts the phone
const size_t kMaxBody = 64 * 1024;     // an answer for three last values is a few hundred bytes
const int kMostUnderWay = 3;           // requests given up but still held by a server that trickles
const double kMaxAcceleration = 200.0; // m/s^2; phones measure up to 16 g (157 m/s^2)

// "HOST" or "HOST:PORT" (a name or an IPv4 address; the port 1 to 65535, kDefaultPort when left out). False,
// with the reason in `problem`, for anything else.
bool ParseAddress(const std::string& text, std::wstring* host, int* port, std::string* problem);

// Reads a /get document. Returns an empty string and fills `measuring` (and, while measuring, `acceleration`
// with the last values of accX, accY and accZ in m/s^2) when the document is good; otherwise the reason it
// is not: not JSON, no status, a buffer missing, not a list, empty, or a value that is not a number within
// kMaxAcceleration.
std::string ReadGet(const std::string& body, bool* measuring, double acceleration[3]);

// The tilt of an acceleration in phyphox's device axes: x toward the right edge of the screen, y toward its
// top edge, z out of the screen; at rest the phone measures the support against gravity, +9.81 m/s^2 along
// the axis that points up. Lowering the right edge turns x downward, so accX falls below 0 as tiltX must
// rise; tipping the top edge away turns y downward, so accY falls below 0 with tiltY. One g is 1000 units;
// each axis is kept within -tilt::kLimit..tilt::kLimit.
tilt::Sample TiltOf(double accX, double accY);

// What the source has seen, for its reports and its tests.
struct Status {
    LONG link = kPhoneOff;
    unsigned dropped = 0;    // requests that gave no sample, since Start
    std::string lastProblem; // why the last of them gave none
    unsigned losses = 0;     // times a phone once connected was lost, since Start
};

class Source {
  public:
    // Starts polling the phone at `address` (see ParseAddress); false, with the reason on standard error,
    // when the address is bad or the polling cannot start. Called while stopped. `shared` (may be null)
    // receives the link.
    bool Start(const std::string& address, TiltShared* shared);
    // Stops polling at once; a request under way is given up. The link turns kPhoneOff.
    void Stop();
    // The latest sample, or 0 0 when it is older than kStaleMs or there is none. Never waits for the phone.
    tilt::Sample Latest();
    Status Now();

  private:
    static DWORD WINAPI Run(void* self);
    void Poll(void* connection);
    std::string Fetch(void* connection, const wchar_t* path, std::string* body);
    void SetLink(LONG link, const std::string& why);

    std::mutex lock_; // guards the members below that the poll thread and the game's thread share
    std::wstring host_;
    int port_ = 0;
    std::string name_; // HOST:PORT, in messages
    TiltShared* shared_ = nullptr;
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    tilt::Sample sample_;
    ULONGLONG sampleTick_ = 0;
    ULONGLONG startAskedTick_ = 0;
    bool everConnected_ = false;
    Status status_;
};

} // namespace phone
