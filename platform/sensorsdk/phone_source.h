// phone_source.h: a real phone as a tilt source, read over the local network.
//
// The player runs phyphox on a phone, opens its experiment "Acceleration with g" and enables its remote
// access; the phone then serves its sensor buffers over HTTP. The source asks for the last values of the
// buffers accX, accY and accZ (the document /get?accX&accY&accZ) on a thread of its own, once for each of the
// game's reads (ten a second), timed to land just before the read; twice a second while the game reads none.
// A data request of the game only reads the latest sample from memory, so a slow or lost phone never delays a
// tick; a sample older than kStaleMs reads 0 0.
//
// Real phones answer in more than one way. Android writes numbers as "-2.947733E0" and a value it lacks as
// null; iOS writes NaN and infinity as the strings "nan" and "inf" and closes the connection after every
// answer; Android before 1.2.0 answered one request per connection. Right after a start or a clear each
// buffer reads [null]: no sample yet, no fault. A paused phone keeps its last values, so the source reads
// them only while the phone says it measures. It asks a paused phone to start once for each pause, again
// only when that request failed or kStartBackOffMs later: phyphox's timed run counts down before measuring,
// and on an iPhone a second start during the countdown cancels it.
//
// "Acceleration (without g)" has the same buffer names but reads about 0 at rest. Once per phyphox session
// the source reads /config, whose inputs name the sensor behind the buffers; a phone without /config (older
// versions) is judged by its samples instead: gravity makes about 1 g. A wrong experiment gives no tilt.
//
// It is a client only: it talks to the one host it was given, through no proxy and no redirect, one request
// at a time, each capped at kMaxBody bytes and kDeadlineMs milliseconds. A request that fails is dropped and
// counted, and the source goes on asking. Changes of the link (the wrong experiment and a phone that stays
// paused among them) are reported on standard error and in the phone's event trace, and published in the
// shared tilt record for the taskbar.
//
// The reading rules (the address, the /get and /config documents, the timing) are apart from the thread, so
// that they can be checked directly.
#pragma once

#include "tilt_shared.h"
#include "tilt_sources.h"

#include <mutex>
#include <string>

namespace phone {

const int kDefaultPort = 8080;         // what phyphox's remote access shows on Android
const int kWebPort = 80;               // an iPhone's, shown as "http://HOST" with no port
const DWORD kPollMs = 100;             // the game reads a sample every 100 ms
const DWORD kLeadMs = 40;              // an answer lands this long before the read it is for, past its jitter
const DWORD kIdleMs = 1000;            // no read for this long: the game is not reading samples
const DWORD kRetryMs = 500;            // a request every 500 ms while the phone does not answer
const DWORD kStartBackOffMs = 10000;   // well past any countdown of a timed run
const DWORD kDeadlineMs = 500;         // a whole request, from connecting to the last byte
const DWORD kStaleMs = 500;            // a sample this old no longer tilts the phone
const size_t kMaxBody = 64 * 1024;     // an answer for three last values is a few hundred bytes
const int kMostUnderWay = 3;           // requests given up but still held by a server that trickles
const double kMaxAcceleration = 200.0; // m/s^2; phones measure up to 16 g (157 m/s^2)
const double kLeastGravity = 0.5;      // g; a phone held still in "Acceleration with g" reads 1 g
const double kMostGravity = 2.0;

// "HOST" or "HOST:PORT" (a name or an IPv4 address; the port 1 to 65535, kDefaultPort when left out), or
// either after "http://" and with a closing "/", as a browser reads it: there a port left out is kWebPort.
// False, with the reason in `problem`, for anything else.
bool ParseAddress(const std::string& text, std::wstring* host, int* port, std::string* problem);

// A good /get document.
struct GetAnswer {
    bool measuring = false;
    bool timedRun = false;
    std::string session;         // phyphox's session; a new one is a new experiment or a new start of it
    bool sampled = false;        // while measuring: every buffer holds a value (not null, not "nan")
    double acceleration[3] = {}; // then: the last values of accX, accY and accZ in m/s^2
};

// Reads a /get document into `answer`. Returns an empty string when the document is good; otherwise the
// reason it is not: not JSON, no status, a buffer missing, not a list, empty, or a value that is neither a
// number within kMaxAcceleration nor a missing one.
std::string ReadGet(const std::string& body, GetAnswer* answer);

// What a /config document says of the experiment: an input whose source is the accelerometer and whose
// outputs x, y and z are accX, accY and accZ (kWithGravity), another experiment (kOther, with the sources
// it names in `sources`), or no such document (kUnknown: older phyphox, or not JSON).
enum Experiment { kUnknown, kWithGravity, kOther };
Experiment ReadConfig(const std::string& body, std::string* sources);

// Whether an acceleration (m/s^2) has gravity in it: its magnitude within kLeastGravity..kMostGravity.
bool HasGravity(const double acceleration[3]);

// When the next /get should start: so that its answer, `roundTripMs` after, lands kLeadMs before one of the
// game's reads, which come every kPollMs after `lastReadTick`; and never sooner than kPollMs / 2 after the
// `lastStartTick` of the one before.
ULONGLONG NextPollTick(ULONGLONG lastReadTick, ULONGLONG lastStartTick, DWORD roundTripMs);

// The tilt of an acceleration in phyphox's device axes: x toward the right edge of the screen, y toward its
// top edge, z out of the screen; at rest the phone measures the support against gravity, +9.81 m/s^2 along
// the axis that points up. Lowering the right edge turns x downward, so accX falls below 0 as tiltX must
// rise; tipping the top edge away turns y downward, so accY falls below 0 with tiltY. One g is 1000 units;
// each axis is kept within -tilt::kLimit..tilt::kLimit.
tilt::Sample TiltOf(double accX, double accY);

// What the source has seen, for its reports and its tests.
struct Status {
    LONG link = kPhoneOff;
    unsigned samples = 0;    // answers that gave a sample, since Start
    unsigned dropped = 0;    // requests that failed or gave a bad answer, since Start
    std::string lastProblem; // why the last of them failed
    unsigned losses = 0;     // times a phone once connected was lost, since Start
    bool timedRun = false;   // the phone said its timed run is on
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
    // Called for each of the game's reads: their times steer the requests, and the ages of the samples they
    // get are in the "off" line.
    tilt::Sample Latest();
    Status Now();

  private:
    static DWORD WINAPI Run(void* self);
    bool Poll(void* connection);
    void AskToStart(void* connection, ULONGLONG now);
    std::string Fetch(void* connection, const wchar_t* path, std::string* body, bool again = true);
    void SetLink(LONG link, const std::string& why);
    std::string AgeFigures();
    void Say(const std::string& text);

    std::mutex lock_; // guards the members below that the poll thread and the game's thread share
    std::wstring host_;
    int port_ = 0;
    std::string name_; // HOST:PORT, in messages
    TiltShared* shared_ = nullptr;
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    HANDLE reading_ = nullptr; // set by a read after kIdleMs without one
    tilt::Sample sample_;
    ULONGLONG sampleTick_ = 0;
    ULONGLONG readTick_ = 0;           // the game's latest read
    unsigned ages_[kStaleMs + 1] = {}; // how many reads got a sample of each age in ms
    bool everConnected_ = false;
    Status status_;
    // Touched by the poll thread alone, once started.
    ULONGLONG startAskedTick_ = 0; // 0: not asked during this pause
    bool judged_ = false;          // whether the experiment of `session_` was judged
    std::string session_;          // the phyphox session it was judged for
    Experiment experiment_ = kUnknown;
    std::string sources_;         // what a kOther experiment measures
    bool connectionEach_ = false; // the phone closes connections unannounced: a new one for each request
};

} // namespace phone
