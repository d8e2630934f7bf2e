// The phone tilt source: its reading rules as tables, then the source and the sensor library against the
// stand-in phone (phone_standin.py, which runs this program, names itself in CRATERDIP_PHONE and is steered
// by the lines this program prints).
#include "HTCSensorSDK.h"
#include "phone_source.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

const double kG = 9.80665;
const DWORD kPatienceMs = 10000; // each wait is on an observable state; this only ends a broken run

void Steer(const std::string& query) {
    printf("standin %s\n", query.c_str());
    fflush(stdout);
}

std::vector<int> Tilt(const tilt::Sample& sample) {
    return {sample.tiltX, sample.tiltY};
}

// A phone held screen up, in phyphox's axes (m/s^2): half a g along an axis is a 30-degree tip.
TEST(PhoneTilt, PosesInTheGamesSigns) {
    const double poses[][4] = {
        {0, 0, 0, 0},                   // flat, and upside down with the screen to the floor
        {0, -kG / 2, 0, -500},          // top edge tipped away
        {0, kG / 2, 0, 500},            // top edge raised
        {-kG / 2, 0, 500, 0},           // right edge lowered
        {kG / 3, 0, -333, 0},           // left edge lowered, rounded
        {0, -kG, 0, -1000},             // standing on its top edge
        {-3 * kG, 2.5 * kG, 1000, 1000} // shaken: clamped
    };
    for (const auto& p : poses) {
        EXPECT_EQ(std::vector<int>({int(p[2]), int(p[3])}), Tilt(phone::TiltOf(p[0], p[1])))
            << p[0] << " " << p[1];
    }
}

std::string Document(const std::string& accZ = "[9.7]", const std::string& measuring = "true") {
    return R"({"buffer":{"accX":{"size":0,"updateMode":"single","buffer":[0.5]},)"
           R"("accY":{"size":0,"updateMode":"single","buffer":[-1.25]},)"
           R"("accZ":{"size":0,"updateMode":"single","buffer":)" +
           accZ + R"(}},"status":{"session":"5a1e2b","measuring":)" + measuring + R"(,"countDown":0}})";
}

TEST(PhoneGet, ReadsTheLastValuesAndNamesEachFault) {
    bool measuring = false;
    double acceleration[3] = {};
    for (const std::string& good : {Document("[200]"), Document("[]", "false"), Document("[3, 4, 9.7]")}) {
        EXPECT_EQ("", phone::ReadGet(good, &measuring, acceleration)) << good;
    }
    EXPECT_EQ(std::vector<double>({0.5, -1.25, 9.7}), std::vector<double>(acceleration, acceleration + 3));
    // Whole documents, then values of accZ in a good one, each with a word of the reason it is refused.
    const char* documents[][2] = {{R"({"buffer":{"accX":{"size":0,"upd)", "JSON"},
                                  {"{buffer: 1}", "JSON"},
                                  {"[0.5, -1.25, 9.7]", "JSON"},
                                  {R"({"buffer":{}})", "measuring"},
                                  {R"({"status":{"measuring":"yes"}})", "measuring"},
                                  {R"({"status":{"measuring":true}})", "accX missing"}};
    const char* accZ[][2] = {{"[NaN]", "JSON"},    {"[Infinity]", "JSON"}, {"[1e400]", "JSON"},
                             {"9.7", "buffer"},    {"[]", "empty"},        {"[\"9.7\"]", "no number"},
                             {"[null]", "number"}, {"[1e300]", "range"},   {"[-200.5]", "range"}};
    for (const auto& c : documents) {
        EXPECT_NE(std::string::npos, phone::ReadGet(c[0], &measuring, acceleration).find(c[1])) << c[0];
    }
    for (const auto& c : accZ) {
        EXPECT_NE(std::string::npos, phone::ReadGet(Document(c[0]), &measuring, acceleration).find(c[1]))
            << c[0];
    }
}

TEST(PhoneAddress, HostAndPort) {
    const std::pair<const char*, int> accepted[] = {
        {"192.168.1.23:8080", 8080}, {"phone.local", 8080}, {"p-1:1", 1}, {"p:65535", 65535}};
    const char* refused[] = {"", ":80", "p:", "p:0", "p:65536", "p:80x", "p:123456", "a b", "http://p"};
    std::wstring host;
    int port = 0;
    std::string problem;
    for (const auto& address : accepted) {
        EXPECT_TRUE(phone::ParseAddress(address.first, &host, &port, &problem) && port == address.second)
            << address.first;
    }
    for (const char* address : refused) {
        EXPECT_FALSE(phone::ParseAddress(address, &host, &port, &problem)) << address;
        EXPECT_NE(std::string::npos, problem.find(address)) << problem;
    }
}

// Each bad answer is dropped and counted, with its reason, and the next good one is read.
TEST(PhoneSource, DropsEachBadAnswerAndGoesOn) {
    Steer("acc=0,0,9.8&measuring=1&down=0");
    phone::Source source;
    ASSERT_NE(nullptr, getenv("CRATERDIP_PHONE")) << "run by phone_standin.py";
    ASSERT_TRUE(source.Start(getenv("CRATERDIP_PHONE"), nullptr));
    ASSERT_TRUE(PumpUntil([&] { return source.Now().link == kPhoneConnected; }, kPatienceMs));
    // Wine hands over a truncated body as it came, where Windows fails the read: either way it is dropped.
    const char* answers[][2] = {
        {"error", "HTTP 500"}, {"truncated", ""}, {"oversize", "64 KB"}, {"trickle", "within"}};
    int tiltX = 0;
    for (const auto& answer : answers) {
        const unsigned before = source.Now().dropped;
        tiltX -= 100;
        Steer(std::string("next=") + answer[0] + "&acc=" + std::to_string(tiltX * kG / -1000) + ",0,9.8");
        EXPECT_TRUE(PumpUntil([&] { return source.Latest().tiltX == tiltX; }, kPatienceMs)) << answer[0];
        EXPECT_EQ(before + 1, source.Now().dropped) << answer[0];
        EXPECT_NE(std::string::npos, source.Now().lastProblem.find(answer[1])) << source.Now().lastProblem;
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

TEST(PhoneSource, NoPhoneAtTheAddress) {
    phone::Source source;
    ASSERT_TRUE(source.Start("127.0.0.1:1", nullptr));
    EXPECT_TRUE(PumpUntil([&] { return source.Now().link == kPhoneLost; }, kPatienceMs));
    EXPECT_EQ(std::vector<int>({0, 0}), Tilt(source.Latest()));
    source.Stop();
    EXPECT_FALSE(source.Start("no phone", nullptr));
}

template <typename Entry> Entry Find(HMODULE library, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// While a handle is open and a window of this program is in front, the library starts a paused phone, adds
// its tilt to the live sources and shows its link to the taskbar; a phone that drops off reads 0 0 and shows
// lost, and comes back by itself.
TEST(SensorLibrary, ReadsThePhoneThroughADropout) {
    Steer("acc=-4.903325,4.903325,8.5&measuring=0&down=0");
    HMODULE library = LoadLibraryW(L"HTCSensorSDK.dll");
    auto open = Find<HTCSensorOpenProc>(library, "HTCSensorOpen");
    auto read = Find<HTCSensorGetDataOutputProc>(library, "HTCSensorGetDataOutput");
    auto close = Find<HTCSensorCloseProc>(library, "HTCSensorClose");
    HANDLE mapping = nullptr;
    TiltShared* shared = OpenTiltShared(&mapping);
    ASSERT_TRUE(open && read && close && shared);
    HWND window = CreateTestWindow(0, 0, 10, 10);
    HANDLE sensor = open(HTC_SENSOR_TILT);
    TiltSample sample = {};
    auto reads = [&](int tiltX, int tiltY, LONG link) {
        return PumpUntil(
            [&] {
                return read(sensor, &sample) == ERROR_SUCCESS && sample.tiltX == tiltX &&
                       sample.tiltY == tiltY && ReadPhoneLink(shared) == link;
            },
            kPatienceMs);
    };
    EXPECT_TRUE(reads(500, 500, kPhoneConnected));
    Steer("down=1");
    EXPECT_TRUE(reads(0, 0, kPhoneLost));
    Steer("down=0&acc=0,-4.903325,8.5");
    EXPECT_TRUE(reads(0, -500, kPhoneConnected));
    close(sensor);
    EXPECT_EQ(kPhoneOff, ReadPhoneLink(shared));
    CloseTiltShared(shared, mapping);
    DestroyWindow(window);
}

} // namespace
