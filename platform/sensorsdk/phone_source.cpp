// The phone tilt source: the reading rules, and the thread that asks the phone through WinHTTP.
#include "phone_source.h"

#include <math.h>
#include <stdio.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>

#include <nlohmann/json.hpp>

namespace phone {

namespace {

using nlohmann::json;

const double kStandardGravity = 9.80665; // m/s^2 in one g
const double kUnitsPerG = 1000.0;
const wchar_t kGetPath[] = L"/get?accX&accY&accZ"; // a name without a value asks for its last value only
const wchar_t kStartPath[] = L"/control?cmd=start";
const wchar_t kConfigPath[] = L"/config";
const char* const kBuffers[] = {"accX", "accY", "accZ"};
const char* const kOutputs[] = {"x", "y", "z"}; // how /config names the buffers of a sensor's axes
const char kStopped[] = "stopped";
const char kOpenWithGravity[] = "open \"Acceleration with g\" in phyphox";

std::atomic<int> g_underWay(0); // records of requests not yet closed by WinHTTP

// One request under way. WinHTTP reports its progress to OnEvent on threads of its own, and the poll thread
// may give a request up at its deadline, before it ends: so the record belongs to the request handle and is
// freed when WinHTTP closes that handle. A given-up request keeps one of WinHTTP's threads until its server
// lets go, so a server that trickles every answer would take one more at each request: past kMostUnderWay
// no new request starts.
struct Exchange {
    Exchange() { ++g_underWay; }
    ~Exchange() { --g_underWay; }
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr); // set when the answer is whole, or failed
    DWORD status = 0;                                          // the HTTP status
    DWORD error = 0;                                           // WinHTTP's error, when the request failed
    bool tooLarge = false;
    std::string body;
    char chunk[4096];
};

void CALLBACK OnEvent(HINTERNET request, DWORD_PTR context, DWORD event, void* info, DWORD length) {
    Exchange* x = reinterpret_cast<Exchange*>(context);
    DWORD size = sizeof x->status;
    bool finished = false;
    if (x == nullptr) { // the session and the connection carry no record
        return;
    } else if (event == WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE &&
               !WinHttpReceiveResponse(request, nullptr)) {
        x->error = GetLastError();
        finished = true;
    } else if (event == WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE) {
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &x->status, &size, WINHTTP_NO_HEADER_INDEX);
        finished =
            x->status != HTTP_STATUS_OK || !WinHttpReadData(request, x->chunk, sizeof x->chunk, nullptr);
    } else if (event == WINHTTP_CALLBACK_STATUS_READ_COMPLETE) {
        x->body.append(x->chunk, length);
        x->tooLarge = x->body.size() > kMaxBody;
        finished =
            length == 0 || x->tooLarge || !WinHttpReadData(request, x->chunk, sizeof x->chunk, nullptr);
    } else if (event == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
        x->error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
        finished = true;
    } else if (event == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        CloseHandle(x->done);
        delete x;
    }
    if (finished) {
        SetEvent(x->done);
    }
}

std::string ErrorText(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "connection refused";
    case ERROR_WINHTTP_TIMEOUT:
        return "no answer";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "unknown host name";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "not an HTTP answer";
    }
    return "WinHTTP error " + std::to_string(error);
}

const json* Member(const json* object, const char* name) {
    if (object == nullptr || !object->is_object()) {
        return nullptr;
    }
    auto found = object->find(name);
    return found == object->end() ? nullptr : &*found;
}

int16_t Units(double acceleration) {
    return static_cast<int16_t>(lround(
        std::clamp(acceleration * kUnitsPerG / kStandardGravity, -1.0 * tilt::kLimit, 1.0 * tilt::kLimit)));
}

} // namespace

bool ParseAddress(const std::string& text, std::wstring* host, int* port, std::string* problem) {
    const std::string kScheme = "http://";
    const bool web = text.compare(0, kScheme.size(), kScheme) == 0;
    std::string rest = web ? text.substr(kScheme.size()) : text;
    if (web && !rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    const size_t colon = rest.find(':');
    const std::string name = rest.substr(0, colon), digits = colon == rest.npos ? "" : rest.substr(colon + 1);
    *port = colon != rest.npos ? (digits.size() <= 5 ? atoi(digits.c_str()) : 0)
            : web              ? kWebPort
                               : kDefaultPort;
    const char kNameCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-";
    if (name.empty() || name.size() > 253 || name.find_first_not_of(kNameCharacters) != name.npos ||
        digits.find_first_not_of("0123456789") != digits.npos || *port < 1 || *port > 65535) {
        *problem =
            "'" + text +
            "' is not HOST[:PORT] or http://HOST[:PORT] (a name or IPv4 address, a port from 1 to 65535)";
        return false;
    }
    host->assign(name.begin(), name.end());
    return true;
}

std::string ReadGet(const std::string& body, GetAnswer* answer) {
    const json document = json::parse(body, nullptr, false);
    const json* status = Member(&document, "status");
    const json* running = Member(status, "measuring");
    if (document.is_discarded() || !document.is_object()) {
        return "not a JSON object";
    } else if (running == nullptr || !running->is_boolean()) {
        return "no measuring status";
    }
    const json* timed = Member(status, "timedRun");
    const json* session = Member(status, "session");
    answer->measuring = answer->sampled = running->get<bool>();
    answer->timedRun = timed && timed->is_boolean() && timed->get<bool>();
    answer->session = session && session->is_string() ? session->get<std::string>() : "";
    for (int axis = 0; axis < 3 && answer->measuring; ++axis) { // a paused phone's buffers hold old values
        const json* buffer = Member(Member(&document, "buffer"), kBuffers[axis]);
        const json* values = Member(buffer, "buffer");
        const json* last = values && values->is_array() && !values->empty() ? &values->back() : nullptr;
        // Android writes a value it lacks as null, iOS as "nan"; both read [null] right after a start.
        const bool lacking = last && (last->is_null() || *last == "nan");
        const double value = last && last->is_number() ? last->get<double>() : 0;
        const char* fault = !buffer                              ? " missing"
                            : !values || !values->is_array()     ? " is not a buffer"
                            : !last                              ? " is empty"
                            : lacking                            ? nullptr
                            : !last->is_number()                 ? " holds no number" // also "inf"
                            : !(fabs(value) <= kMaxAcceleration) ? " out of range"
                                                                 : nullptr;
        if (fault != nullptr) {
            return kBuffers[axis] + std::string(fault);
        }
        answer->sampled = answer->sampled && !lacking;
        answer->acceleration[axis] = value;
    }
    return "";
}

Experiment ReadConfig(const std::string& body, std::string* sources) {
    static const json kNone = json::array();
    const json document = json::parse(body, nullptr, false);
    const json* inputs = Member(&document, "inputs");
    if (inputs == nullptr || !inputs->is_array()) {
        return kUnknown;
    }
    sources->clear();
    for (const json& input : *inputs) {
        const json* source = Member(&input, "source");
        const json* outputs = Member(&input, "outputs");
        const std::string name = source && source->is_string() ? source->get<std::string>() : "?";
        int read = 0; // of the buffers asked for, those this input fills on their own axes
        for (const json& output : outputs && outputs->is_array() ? *outputs : kNone) {
            for (int axis = 0; axis < 3; ++axis) {
                const json* buffer = Member(&output, kOutputs[axis]);
                read += buffer && *buffer == kBuffers[axis];
            }
        }
        if (name == "accelerometer" && read == 3) {
            return kWithGravity;
        }
        sources->append(sources->empty() ? "" : ", ").append(name);
    }
    *sources = sources->empty() ? "no sensor" : *sources;
    return kOther;
}

bool HasGravity(const double acceleration[3]) {
    const double g = sqrt(acceleration[0] * acceleration[0] + acceleration[1] * acceleration[1] +
                          acceleration[2] * acceleration[2]) /
                     kStandardGravity;
    return g >= kLeastGravity && g <= kMostGravity;
}

ULONGLONG NextPollTick(ULONGLONG lastReadTick, ULONGLONG lastStartTick, DWORD roundTripMs) {
    const ULONGLONG ahead = std::min<ULONGLONG>(roundTripMs + kLeadMs, kPollMs / 2);
    const ULONGLONG soonest = lastStartTick + kPollMs / 2;
    ULONGLONG due = lastReadTick + kPollMs - ahead;
    if (due < soonest) { // the reads' rhythm, carried forward
        due += (soonest - due + kPollMs - 1) / kPollMs * kPollMs;
    }
    return due;
}

tilt::Sample TiltOf(double accX, double accY) {
    tilt::Sample sample;
    sample.tiltX = Units(-accX);
    sample.tiltY = Units(accY);
    return sample;
}

bool Source::Start(const std::string& address, TiltShared* shared) {
    std::lock_guard<std::mutex> hold(lock_);
    std::string problem;
    if (!ParseAddress(address, &host_, &port_, &problem)) {
        fprintf(stderr, "phone: %s; playing on without it\n", problem.c_str());
        return false;
    }
    // WinHTTP may still report on a given-up request after the source has stopped, so the module that holds
    // OnEvent is never unloaded.
    HMODULE module;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&OnEvent), &module);
    name_ = std::string(host_.begin(), host_.end()) + ":" + std::to_string(port_);
    shared_ = shared;
    sampleTick_ = readTick_ = startAskedTick_ = 0;
    std::fill(std::begin(ages_), std::end(ages_), 0);
    judged_ = connectionEach_ = false;
    everConnected_ = false;
    status_ = Status();
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    reading_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    SetLink(thread_ ? kPhoneConnecting : kPhoneLost,
            "cannot start a thread: error " + std::to_string(GetLastError()));
    if (thread_ == nullptr) {
        CloseHandle(stop_);
        CloseHandle(reading_);
    }
    return thread_ != nullptr;
}

void Source::Stop() {
    if (thread_ == nullptr) {
        return;
    }
    // The poll thread waits for the phone and for this event together, so it ends at once.
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    CloseHandle(reading_);
    thread_ = stop_ = reading_ = nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    SetLink(kPhoneOff, "");
}

tilt::Sample Source::Latest() {
    std::lock_guard<std::mutex> hold(lock_);
    const ULONGLONG now = GetTickCount64();
    if (now - readTick_ > kIdleMs) { // the game reads again: the poll thread keeps its slow pace no longer
        SetEvent(reading_);
    }
    readTick_ = now;
    const ULONGLONG age = readTick_ - sampleTick_;
    if (age > kStaleMs) {
        return tilt::Sample();
    }
    ++ages_[age];
    return sample_;
}

Status Source::Now() {
    std::lock_guard<std::mutex> hold(lock_);
    return status_;
}

DWORD WINAPI Source::Run(void* self) {
    Source* source = static_cast<Source*>(self);
    HINTERNET session = WinHttpOpen(L"craterDip", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(session, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    // A given-up request also ends on its own soon after its deadline.
    WinHttpSetTimeouts(session, kDeadlineMs, kDeadlineMs, kDeadlineMs, kDeadlineMs);
    WinHttpSetStatusCallback(session, OnEvent,
                             WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES, 0);
    HINTERNET connection =
        WinHttpConnect(session, source->host_.c_str(), static_cast<INTERNET_PORT>(source->port_), 0);
    // While the game reads no samples (a menu, the wait after a crash) the phone is asked only twice a
    // second.
    HANDLE wake[] = {source->stop_, source->reading_};
    for (DWORD pause = 0; WaitForMultipleObjects(2, wake, FALSE, pause) != WAIT_OBJECT_0;) {
        const ULONGLONG began = GetTickCount64();
        const bool answered = source->Poll(connection);
        const ULONGLONG now = GetTickCount64();
        std::lock_guard<std::mutex> hold(source->lock_);
        const ULONGLONG due = answered && now - source->readTick_ <= kIdleMs
                                  ? NextPollTick(source->readTick_, began, static_cast<DWORD>(now - began))
                                  : began + kRetryMs;
        pause = due > now ? static_cast<DWORD>(due - now) : 0;
    }
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return 0;
}

// One /get: a fresh sample, or a dropped request, or no sample for a reason the player is told. True when
// the phone answered.
bool Source::Poll(void* connection) {
    std::string body;
    GetAnswer answer;
    std::string problem = Fetch(connection, kGetPath, &body);
    problem = problem.empty() ? ReadGet(body, &answer) : problem;
    if (problem.empty() && (!judged_ || answer.session != session_)) { // another experiment, or started anew
        std::string config;
        judged_ = true;
        session_ = answer.session;
        experiment_ =
            Fetch(connection, kConfigPath, &config).empty() ? ReadConfig(config, &sources_) : kUnknown;
    }
    std::unique_lock<std::mutex> hold(lock_);
    const ULONGLONG now = GetTickCount64();
    if (problem == kStopped) {
        return false;
    } else if (!problem.empty()) {
        ++status_.dropped;
        status_.lastProblem = problem;
        if (now - sampleTick_ > kStaleMs) {
            SetLink(kPhoneLost, problem);
        }
        return false;
    }
    if (answer.timedRun && !status_.timedRun) {
        status_.timedRun = true;
        Say("phyphox's timed run is on; play wants it off (phyphox's menu, \"Timed run\")");
    }
    const bool gravity = experiment_ == kWithGravity ||
                         (experiment_ == kUnknown && (!answer.sampled || HasGravity(answer.acceleration)));
    if (!gravity) {
        sampleTick_ = 0;
        char magnitude[64];
        snprintf(magnitude, sizeof magnitude, "it reads %.2f g, not 1 g",
                 sqrt(answer.acceleration[0] * answer.acceleration[0] +
                      answer.acceleration[1] * answer.acceleration[1] +
                      answer.acceleration[2] * answer.acceleration[2]) /
                     kStandardGravity);
        SetLink(kPhoneWrongExperiment, experiment_ == kOther ? "it measures " + sources_ : magnitude);
    } else if (!answer.measuring) {
        sampleTick_ = 0; // its buffers hold the values from before the pause
        hold.unlock();
        AskToStart(connection, now);
    } else if (answer.sampled) { // else [null]: no sample yet, right after a start or a clear
        startAskedTick_ = 0;
        sample_ = TiltOf(answer.acceleration[0], answer.acceleration[1]);
        sampleTick_ = now;
        ++status_.samples;
        everConnected_ = true;
        SetLink(kPhoneConnected, "");
    }
    return true;
}

// A paused phone is asked to start once for each pause, and named as paused once that request was answered
// and half a second has gone by. It is asked again only when the request failed, or after kStartBackOffMs:
// the start may begin a timed run's countdown, which a second start would cancel on an iPhone.
void Source::AskToStart(void* connection, ULONGLONG now) {
    if (startAskedTick_ != 0 && now - startAskedTick_ < kStartBackOffMs) {
        if (now - startAskedTick_ > kStaleMs) {
            std::lock_guard<std::mutex> hold(lock_);
            SetLink(kPhoneNotMeasuring, "");
        }
        return;
    }
    std::string body;
    startAskedTick_ = Fetch(connection, kStartPath, &body).empty() ? now : 0;
}

// One GET of `path` within kDeadlineMs. Returns why it failed, or an empty string with the answer in `body`.
//
// A phone may close a kept connection without saying so (Android before 1.2.0 answered one request per
// connection): a request that finds its connection closed unanswered is made once more, on a new one. When
// that one is answered, the phone is such a phone, and its later requests ask for a connection each: Wine's
// WinHTTP stumbles on a connection closed under it (status 0, error 12019), so it is not left to meet one.
std::string Source::Fetch(void* connection, const wchar_t* path, std::string* body, bool again) {
    if (g_underWay >= kMostUnderWay) {
        return "earlier requests still under way";
    }
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    DWORD noKeepAlive = WINHTTP_DISABLE_KEEP_ALIVE;
    Exchange* x = new Exchange;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(x);
    // The record is given to the handle last: until then it is ours to free, and after it only WinHTTP's
    // closing of the handle frees it.
    if ((connectionEach_ &&
         !WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noKeepAlive, sizeof noKeepAlive)) ||
        !WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
        const std::string problem = "cannot make a request: " + ErrorText(GetLastError());
        CloseHandle(x->done);
        delete x;
        WinHttpCloseHandle(request);
        return problem;
    }
    HANDLE wake[] = {x->done, stop_};
    const bool sent =
        WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, context);
    const DWORD woke = sent ? WaitForMultipleObjects(2, wake, FALSE, kDeadlineMs) : WAIT_FAILED;
    std::string problem = woke == WAIT_OBJECT_0 + 1 ? kStopped
                          : woke == WAIT_TIMEOUT
                              ? "no whole answer within " + std::to_string(kDeadlineMs) + " ms"
                          : woke == WAIT_FAILED ? "cannot send a request: " + ErrorText(GetLastError())
                          : x->error            ? ErrorText(x->error)
                          : x->status == 0      ? "the connection closed unanswered"
                          : x->status != HTTP_STATUS_OK ? "HTTP " + std::to_string(x->status)
                          : x->tooLarge                 ? "an answer over 64 KB"
                                                        : "";
    const bool closed =
        woke == WAIT_OBJECT_0 && x->status == 0 &&
        (x->error == 0 || x->error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE ||
         x->error == ERROR_WINHTTP_CONNECTION_ERROR || x->error == ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    if (problem.empty()) {
        body->swap(x->body);
    }
    WinHttpCloseHandle(request); // the record goes with the handle, now or when WinHTTP lets it go
    if (!closed || !again) {
        return problem;
    }
    problem = Fetch(connection, path, body, false);
    connectionEach_ = connectionEach_ || problem.empty();
    return problem;
}

// Publishes and reports a change of the link, once. Called with lock_ held.
void Source::SetLink(LONG link, const std::string& why) {
    if (link == status_.link) {
        return;
    }
    status_.link = link;
    status_.losses += link == kPhoneLost && everConnected_; // a phone never reached was not lost
    if (shared_ != nullptr) {
        PublishPhoneLink(shared_, link);
    }
    Say(link == kPhoneConnecting     ? "connecting"
        : link == kPhoneConnected    ? "connected"
        : link == kPhoneNotMeasuring ? "not measuring; press play in phyphox"
        : link == kPhoneWrongExperiment
            ? "wrong experiment (" + why + "); " + kOpenWithGravity + "; no tilt from it until then"
        : link == kPhoneOff ? "off; samples: " + std::to_string(status_.samples) +
                                  ", dropped requests: " + std::to_string(status_.dropped) +
                                  ", times lost: " + std::to_string(status_.losses) + AgeFigures()
        : everConnected_ ? "lost (" + why + "); its tilt is 0 until it is back"
                         : "no tilt from it (" + why + "); playing on with the keys, mouse and pad");
}

// The ages of the samples the game's reads got, for the "off" line.
std::string Source::AgeFigures() {
    unsigned reads = 0;
    for (unsigned count : ages_) {
        reads += count;
    }
    unsigned median = 0, p99 = 0, seen = 0;
    for (unsigned age = 0; age <= kStaleMs && reads > 0; ++age) {
        seen += ages_[age];
        median = seen * 2 < reads ? age + 1 : median;
        p99 = seen * 100 < reads * 99 ? age + 1 : p99;
    }
    return reads == 0 ? ""
                      : "; sample age at " + std::to_string(reads) + " reads: median " +
                            std::to_string(median) + " ms, p99 " + std::to_string(p99) + " ms";
}

void Source::Say(const std::string& text) {
    fprintf(stderr, "phone %s: %s\n", name_.c_str(), text.c_str());
    PhoneTrace("phone %s: %s", name_.c_str(), text.c_str());
}

} // namespace phone
