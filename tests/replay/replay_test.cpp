// Every committed replay reproduces its recorded end of round exactly: outcome, score, fuel, speed, ticks.
#include "coredll.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Record {
    std::string outcome;
    int score = 0, fuel = 0, ticks = 0;
    double speed = 0;
};

std::istream& operator>>(std::istream& in, Record& r) {
    return in >> r.outcome >> r.score >> r.fuel >> r.speed >> r.ticks;
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Runs replay_run.exe with the run's seed and tilt log in its environment; returns its output.
std::string Replay(const std::string& name, const std::string& seed, const std::string& arguments) {
    SetEnvironmentVariableW(L"CRATERDIP_SEED", Widen(seed).c_str());
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT",
                            Widen(std::string(REPLAY_DIR "/") + name + ".tilt").c_str());
    ChildProcess run;
    run.Start(L"replay_run.exe", Widen(arguments), ChildProcess::kOutput);
    run.Wait();
    return run.output;
}

TEST(Replay, EveryRecordedRoundEndsAsRecorded) {
    std::ifstream records(REPLAY_DIR "/records.txt");
    ASSERT_TRUE(records.good()) << "cannot read " REPLAY_DIR "/records.txt";
    int cases = 0;
    for (std::string line; std::getline(records, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t bar = line.find('|');
        ASSERT_NE(std::string::npos, bar) << line;
        std::istringstream run(line.substr(0, bar));
        std::string name, seed, level, screen, restX, restY;
        run >> name >> seed >> level >> screen >> restX >> restY;
        Record expected, actual;
        std::istringstream(line.substr(bar + 1)) >> expected;
        const std::string output = Replay(name, seed, level + " " + screen + " " + restX + " " + restY);
        std::istringstream(output) >> actual;
        SCOPED_TRACE(name + ": got \"" + output + "\"");
        EXPECT_EQ(expected.outcome, actual.outcome);
        EXPECT_EQ(expected.score, actual.score);
        EXPECT_EQ(expected.fuel, actual.fuel);
        EXPECT_EQ(expected.speed, actual.speed);
        EXPECT_EQ(expected.ticks, actual.ticks);
        ++cases;
    }
    EXPECT_GE(cases, 15);
}

} // namespace
