// The sensor library's tilt sources. First their rules: the keyboard ramp's promises to the player, the
// mouse and stick, the phone's tilt and address. Then the phone source and the library against the stand-in
// phone (phone_standin.py, which runs this program, names itself in CRATERDIP_PHONE and is steered by the
// lines this program prints). The library reads a tilt script once per process, so CTest runs the scripted
// library apart.
#include "HTCSensorSDK.h"
#include "phone_source.h"
#include "tilt_sources.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// The library's entries, imported (the game binds them at run time).
extern "C" __declspec(dllimport) HANDLE WINAPI HTCSensorOpen(DWORD sensor);
extern "C" __declspec(dllimport) DWORD WINAPI HTCSensorGetDataOutput(HANDLE sensor, TiltSample* sample);
extern "C" __declspec(dllimport) DWORD WINAPI HTCSensorClose(HANDLE sensor);

namespace {

const double kG = 9.80665;
const DWORD kPatienceMs = 10000; // each wait is on an observable state; this only ends a broken run

// The flight turns dy <= -30 into thrust (1 per 30, at most 6) and |dx| > 60 into a sideways step of dx/40,
// dx/30 beyond 250 and dx/20 beyond 500. Per key: its direction, its full tilt, the most a one-sample tap may
// give (thrust 1, step 1) and the least an eight-sample hold must reach (thrust 6, the fastest step). Each
// tilt is taken along the key's direction, so a wrong sign shows as a value below 1.
TEST(KeyboardRamp, ATapIsSmallAndAHoldIsFull) {
    const int keys[][4] = {{-1, tilt::kKeyFullTiltY, 59, 180}, {+1, tilt::kKeyFullTiltX, 79, 501}};
    for (const auto& [direction, full, tap, hold] : keys) {
        tilt::AxisRamp ramp;
        std::vector<int> t; // a tap, letting go, a hold of eight samples and one more, the other way once
        for (int key : {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1}) {
            t.push_back(tilt::NextRampTilt(&ramp, key * direction, full) * direction * key);
        }
        // A tap is small, letting go levels at once, a hold never tilts back and reaches full tilt, which
        // then holds, and reversing starts small again.
        EXPECT_TRUE(t[0] >= 1 && t[0] <= tap && t[1] == 0 && t[2] >= 1 && std::is_sorted(&t[2], &t[10]) &&
                    t[9] >= hold && t[9] <= tilt::kLimit && t[10] == t[9] && t[11] >= 1 && t[11] <= tap)
            << ::testing::PrintToString(t);
    }
}

// The stick's dead zone, its first step past it on both sides and its rim (-32768 has no positive twin), a
// drag clamped at full tilt, and the sources' sum kept within it. Rows: a stick's thumb and full tilt, or a
// drag's pixels (full tilt 0), and the tilt.
TEST(PointerAndStick, DeadZoneRimAndClamps) {
    const int rows[][3] = {{7849, 1000, 0},       {7874, 1000, 1}, {-7874, 1000, -1},
                           {-32768, 1000, -1000}, {251, 0, 1000},  {-100000, 0, -1000}};
    for (const auto& [input, full, expected] : rows) {
        EXPECT_EQ(expected, full ? tilt::StickTilt(input, full) : tilt::DragTilt(input)) << input;
    }
    EXPECT_EQ(std::make_tuple(1000, -1000, -100),
              std::make_tuple(tilt::Combine(600, 1000, 1000), tilt::Combine(-600, -1000, 0),
                              tilt::Combine(600, -1000, 300)));
}

// What is in front decides which live input tilts: nothing while another program is; a menu or box of the
// game takes the keys and the d-pad (one direction) but not the stick or the phone; a drag counts only when
// its press went down on the game. Rows: what is in front, the keys' direction, a drag's pixels (down is
// positive) and what its press went down on, the stick, the phone's tiltX; the tilt of the first sample.
TEST(LiveTilt, WhatIsInFrontDecidesWhatTilts) {
    using namespace tilt;
    const int rows[][8] = {{kFrontGame, -1, 0, kFrontNone, 0, 0, 0, -30}, // Up: the first thrust
                           {kFrontNone, -1, 0, kFrontNone, 0, 0, 0, -30},
                           {kFrontGamePopup, -1, 0, kFrontNone, 0, 0, 0, 0}, // Up moves the menu's selection
                           {kFrontOther, -1, 0, kFrontNone, 0, 0, 0, 0},
                           {kFrontGamePopup, -1, 0, kFrontNone, 32767, 200, 200, -300},
                           {kFrontOther, 0, 0, kFrontNone, 32767, 200, 0, 0},
                           {kFrontGame, 0, -10, kFrontGame, 0, 0, 0, -40}, // dragged up: thrust
                           {kFrontGame, 0, 10, kFrontGame, 0, 0, 0, 40},   // dragged down: none
                           {kFrontGame, 0, -10, kFrontGamePopup, 0, 0, 0, 0}};
    for (const auto& row : rows) {
        const auto& [front, keysY, dragY, dragFront, stickY, phoneX, tiltX, tiltY] = row;
        LiveInput in;
        in.keysY = keysY, in.stickY = stickY, in.phone.tiltX = int16_t(phoneX),
        in.dragFront = Front(dragFront);
        in.pressedAt = {5, 50}, in.cursorAt = {5, 50 + dragY};
        AxisRamp rampX, rampY;
        const Sample s = LiveTilt(Front(front), in, &rampX, &rampY);
        EXPECT_EQ(std::make_tuple(tiltX, tiltY), std::make_tuple(int(s.tiltX), int(s.tiltY))) << &row - rows;
    }
}

// The window server's answer read right: the game's window in front, a box of the game over it, and the
// game's pop-up menu open (read from inside the menu's loop).
TEST(LiveTilt, ReadsWhatIsInFront) {
    static tilt::Front inMenu = tilt::kFrontNone;
    HWND game = CreateTestWindow(0, 0, 100, 100);
    const tilt::Front plain = tilt::ReadFront();
    HWND box = CreateWindowExW(0, L"#32770", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, game, nullptr, nullptr,
                               nullptr);
    const tilt::Front boxed = tilt::ReadFront();
    DestroyWindow(box);
    SetTimer(game, 1, 10, [](HWND window, UINT, UINT_PTR timer, DWORD) {
        inMenu = tilt::ReadFront(), KillTimer(window, timer), EndMenu();
    });
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Easy");
    TrackPopupMenu(menu, 0, 10, 10, 0, game, nullptr);
    EXPECT_EQ(std::make_tuple(tilt::kFrontGame, tilt::kFrontGamePopup, tilt::kFrontGamePopup),
              std::make_tuple(plain, boxed, inMenu));
}

// The phone's reading rules. Its tilt, held screen up, in phyphox's axes (m/s^2): half a g along an axis is a
// 30-degree tip; rows: accX, accY, and the tilt. Flat also stands for upside down (the screen to the floor):
// only accZ differs. Its address: rows of an address and its port, then addresses refused. Its requests'
// timing: when the next starts after a read at 1000 ms, the last request having started at 960 or 1080 ms.
TEST(PhoneRules, TiltAndAddress) {
    const double poses[][4] = {{0, 0, 0, 0},                     // flat
                               {0, -kG / 2, 0, -500},            // top edge tipped away
                               {2 * kG / 3, 0, -667, 0},         // left edge lowered, rounded
                               {-3 * kG, 2.5 * kG, 1000, 1000}}; // shaken: clamped
    for (const auto& [accX, accY, tiltX, tiltY] : poses) {
        const tilt::Sample s = phone::TiltOf(accX, accY);
        EXPECT_EQ(std::make_tuple(tiltX, tiltY), std::make_tuple(double(s.tiltX), double(s.tiltY))) << accX;
    }
    const std::pair<const char*, int> addresses[] = {
        {"10.0.0.2:8080", 8080}, {"phone.local", 8080}, {"p-1:1", 1},
        {"p:65535", 65535},      {"http://p", 80},      {"http://p:8080/", 8080}};
    const auto portOf = [](const char* address) { // 0 where it is refused
        std::wstring host;
        int port = 0;
        std::string problem;
        return phone::ParseAddress(address, &host, &port, &problem) ? port : 0;
    };
    for (const auto& [address, port] : addresses) {
        EXPECT_EQ(port, portOf(address)) << address;
    }
    for (const char* refused : {"", "p:", "p:0", "p:65536", "p:123456", "a b", "p/"}) {
        EXPECT_EQ(0, portOf(refused)) << refused;
    }
    EXPECT_EQ(std::make_tuple(1058ULL, 1158ULL), // 40 ms before the read after the last; one a period
              std::make_tuple(phone::NextPollTick(1000, 960, 2), phone::NextPollTick(1000, 1080, 2)));
}

void Steer(const std::string& query) {
    printf("standin %s\n", query.c_str());
    fflush(stdout);
}

// A /get document, measuring, with the given buffer of accZ.
std::string Doc(const std::string& accZ) {
    return R"({"buffer":{"accX":{"buffer":[0.5]},"accY":{"buffer":[-1.25]},"accZ":{"buffer":)" + accZ +
           R"(}},"status":{"measuring":true}})";
}

// Real phones, each row one way they answer, and what the source makes of it: the link and the tilt. iOS
// closes the connection after each answer; Android before 1.2.0 answered one request per connection and had
// no /config, so gravity is judged from the samples (about 1 g, or the wrong experiment); "Acceleration
// (without g)" is named by /config; a paused phone reads 0 0 and, once asked to start, shows it is not
// measuring; an iPhone's timed run counts down before it measures, and a second start would cancel it.
// None of it is a dropped request.
TEST(PhoneSource, AnswersAsRealPhonesDo) {
    const std::tuple<const char*, LONG, int> steps[] = {
        {"os=ios&acc=-4.903325,0,8.5", kPhoneConnected, 500},
        {"os=old&config=none&acc=4.903325,0,8.5", kPhoneConnected, -500},
        {"acc=0.98,0,0", kPhoneWrongExperiment, 0},     // 0.1 g: no gravity in it
        {"os=android&config=g", kPhoneConnected, -100}, // held still in free fall, say
        {"config=linear&acc=0.98,0,0.2", kPhoneWrongExperiment, 0},
        {"config=g&os=ios&countdown=3&measuring=0", kPhoneNotMeasuring, 0},
        {"acc=-9.80665,0,0", kPhoneConnected, 1000}, // the countdown over
        {"os=android&countdown=0", kPhoneConnected, 1000}};
    phone::Source source;
    ASSERT_TRUE(source.Start(getenv("CRATERDIP_PHONE"), nullptr));
    for (const auto& [steer, link, tiltX] : steps) {
        Steer(steer);
        const auto seen = [&] { return std::make_tuple(source.Now().link, int(source.Latest().tiltX)); };
        PumpUntil([&] { return seen() == std::make_tuple(link, tiltX); }, kPatienceMs);
        EXPECT_EQ(std::make_tuple(link, tiltX), seen()) << steer;
    }
    const phone::Status now = source.Now();
    EXPECT_EQ(std::make_tuple(0u, true), std::make_tuple(now.dropped, now.timedRun)) << now.lastProblem;
    source.Stop();
}

// Each bad answer is dropped and counted with its reason, and the source goes on to read the next good one.
// Rows: the stand-in's answer to one /get (a kind, or the body itself) and a word of the reason: an HTTP
// error, a server that trickles its bytes, malformed or truncated JSON, no object, no status or one of the
// wrong type, a missing buffer; in a good document, accZ's buffer not a list, empty, or holding a string,
// NaN (not JSON), infinity as iOS writes it, a huge number or one just out of range; and a body over 64 KB.
// A value not there yet (null, or iOS's "nan") is no fault: no reason, nothing counted. The good answers
// are Android's, whose numbers read "9.7E0".
TEST(PhoneSource, DropsEachBadAnswerAndGoesOn) {
    const std::pair<std::string, const char*> answers[] = {
        {"error", "HTTP 500"},       {R"({"buffer":{}})", "measuring"},
        {"{buffer:1}", "JSON"},      {R"({"status":{"measuring":"yes"}})", "measuring"},
        {"[0.5,-1.25,9.7]", "JSON"}, {R"({"status":{"measuring":true}})", "accX missing"},
        {"trickle", "within"},       {Doc("[9.7]").substr(0, 40), "JSON"},
        {Doc("[]"), "empty"},        {Doc("9.7"), "not a buffer"},
        {Doc("[NaN]"), "JSON"},      {Doc(R"(["9.7"])"), "no number"},
        {Doc("[1e300]"), "range"},   {Doc(R"(["inf"])"), "no number"},
        {Doc("[-200.5]"), "range"},  {Doc("[null]"), ""},
        {Doc(R"(["nan"])"), ""},     {Doc(std::string(70 * 1024, ' ') + "[9.7]"), "64 KB"}};
    phone::Source source;
    ASSERT_TRUE(source.Start(getenv("CRATERDIP_PHONE"), nullptr)); // set by phone_standin.py
    ASSERT_TRUE(PumpUntil([&] { return source.Now().link == kPhoneConnected; }, kPatienceMs));
    int tiltX = 0; // each good answer after a bad one tilts further; its accZ is the most still in range
    for (const auto& [answer, reason] : answers) {
        const unsigned dropped = source.Now().dropped;
        tiltX -= 50;
        Steer("next=" + answer + "&acc=" + std::to_string(tiltX * kG / -1000) + ",0,200");
        EXPECT_TRUE(PumpUntil([&] { return source.Latest().tiltX == tiltX; }, kPatienceMs)) << reason;
        const phone::Status now = source.Now();
        EXPECT_EQ(std::make_tuple(dropped + (*reason != '\0'), true),
                  std::make_tuple(now.dropped, now.lastProblem.find(reason) != std::string::npos))
            << now.lastProblem;
    }
    EXPECT_EQ(1u, source.Now().losses) << "only the trickle outlasts a sample";
    // A server that trickles every answer holds only a few given-up requests, and lets go of them in the end.
    Steer("trickle=trickle");
    EXPECT_TRUE(PumpUntil([&] { return source.Now().lastProblem.find("under way") != std::string::npos; },
                          kPatienceMs));
    Steer("trickle=");
    EXPECT_TRUE(PumpUntil([&] { return source.Now().link == kPhoneConnected; }, kPatienceMs));
    source.Stop();
}

// While a handle is open and a window of this program is in front, the library starts a paused phone
// (through /control), adds its tilt to the live sources and shows its link to the taskbar; a phone that drops
// off reads 0 0 and shows lost, and comes back by itself. Rows: the phone, then what the library reads and
// shows. Only the tilt sensor opens, and a closed handle reads nothing.
TEST(SensorLibrary, ReadsThePhoneThroughADropout) {
    HANDLE mapping = nullptr;
    TiltShared* shared = OpenTiltShared(&mapping);
    CreateTestWindow(0, 0, 10, 10);
    EXPECT_EQ(nullptr, HTCSensorOpen(2));
    HANDLE sensor = HTCSensorOpen(HTC_SENSOR_TILT);
    const std::tuple<const char*, int, int, LONG> steps[] = {
        {"acc=-4.903325,4.903325,8.5&measuring=0", 500, 500, kPhoneConnected},
        {"down=1", 0, 0, kPhoneLost},
        {"down=0&acc=0,-4.903325,8.5", 0, -500, kPhoneConnected}};
    TiltSample sample = {};
    const auto seen = [&] {
        HTCSensorGetDataOutput(sensor, &sample);
        return std::make_tuple(int(sample.tiltX), int(sample.tiltY), ReadPhoneLink(shared));
    };
    for (const auto& [steer, tiltX, tiltY, link] : steps) {
        Steer(steer);
        PumpUntil([&] { return seen() == std::make_tuple(tiltX, tiltY, link); }, kPatienceMs);
        EXPECT_EQ(std::make_tuple(tiltX, tiltY, link), seen()) << steer;
    }
    EXPECT_EQ(0u, HTCSensorClose(sensor));
    EXPECT_EQ(std::make_tuple(DWORD(ERROR_INVALID_HANDLE), LONG(kPhoneOff)),
              std::make_tuple(HTCSensorGetDataOutput(sensor, &sample), ReadPhoneLink(shared)));
    // Nothing listens at this address: the link shows lost.
    SetEnvironmentVariableW(L"CRATERDIP_PHONE", L"127.0.0.1:1");
    sensor = HTCSensorOpen(HTC_SENSOR_TILT);
    EXPECT_TRUE(PumpUntil([&] { return ReadPhoneLink(shared) == kPhoneLost; }, kPatienceMs));
    HTCSensorClose(sensor);
}

// The shared record, written by one thread as fast as it can while another reads it: every read is a whole
// sample (each is written as x and its complement), and the sequence counts two for each sample.
TEST(SharedRecord, NeverShowsAHalfWrittenSample) {
    static TiltShared record = {};
    static volatile LONG written = 0;
    static const LONG kSamples = 1000000;
    HANDLE writer = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            for (LONG i = 1; i <= kSamples; ++i) {
                PublishTilt(&record, int16_t(i), int16_t(~i));
            }
            InterlockedExchange(&written, 1);
            return 0;
        },
        nullptr, 0, nullptr);
    int reads = 0, torn = 0;
    while (!written) {
        int16_t x = 0, y = 0;
        LONG sequence = 0;
        if (ReadTiltShared(&record, &x, &y, &sequence)) {
            ++reads;
            torn += y != int16_t(~x) || (sequence & 1) != 0;
        }
    }
    WaitForSingleObject(writer, INFINITE);
    CloseHandle(writer);
    EXPECT_EQ(std::make_tuple(0, 2 * kSamples), std::make_tuple(torn, LONG(record.sequence)))
        << reads << " reads";
}

// The script (script.tilt, named by CTest) excludes the other sources, the phone too. Its lines give the
// samples in turn, each bad line 0 0, and a request past its end reads 0 0. Each handle reads the script from
// its own start and numbers its samples from 1; closing one handle leaves the other reading on.
TEST(ScriptedLibrary, ReadsTheScriptOnly) {
    HANDLE mapping = nullptr;
    TiltShared* shared = OpenTiltShared(&mapping);
    HANDLE sensor = HTCSensorOpen(HTC_SENSOR_TILT), other = HTCSensorOpen(HTC_SENSOR_TILT);
    std::vector<std::tuple<int, int, DWORD>> expected = {
        {11, -12, 1}, {1, 2, 2}, {5, 0, 3}, {32767, -32768, 4}};
    for (DWORD n = 5; n <= 15; ++n) { // the ten bad lines, and one request past the end
        expected.push_back({0, 0, n});
    }
    expected.insert(expected.begin() + 1, {11, -12, 1}); // the other handle's first sample
    std::vector<std::tuple<int, int, DWORD>> read;
    const auto take = [&](HANDLE from) {
        TiltSample s;
        const bool got = HTCSensorGetDataOutput(from, &s) == 0;
        if (got) {
            DWORD number;
            memcpy(&number, s.reserved + 4, sizeof number);
            read.push_back({s.tiltX, s.tiltY, number});
        }
        return got;
    };
    take(sensor);
    take(other);
    EXPECT_EQ(0u, HTCSensorClose(other));
    while (read.size() < expected.size() && take(sensor)) {
    }
    EXPECT_EQ(std::make_tuple(expected, LONG(kPhoneOff)), std::make_tuple(read, ReadPhoneLink(shared)));
}

} // namespace
