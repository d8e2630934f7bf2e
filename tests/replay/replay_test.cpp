// Every committed replay reproduces its recorded end of round exactly: outcome, score, fuel, speed, ticks.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

namespace {

std::tuple<std::string, int, int, double, int> Record(const std::string& text) {
    std::tuple<std::string, int, int, double, int> r;
    std::istringstream(text) >> std::get<0>(r) >> std::get<1>(r) >> std::get<2>(r) >> std::get<3>(r) >>
        std::get<4>(r);
    return r;
}

// Each line: name seed level WxH restX restY | outcome score fuel speed ticks.
TEST(Replay, EveryRecordedRoundEndsAsRecorded) {
    std::ifstream records(REPLAY_DIR "/records.txt");
    int cases = 0;
    for (std::string line; std::getline(records, line);) {
        std::string name, seed, arguments;
        std::istringstream run(line);
        run >> name >> seed;
        if (name.empty() || name[0] == '#') {
            continue;
        }
        std::getline(run, arguments, '|');
        SetEnvironmentVariableA("CRATERDIP_SEED", seed.c_str());
        SetEnvironmentVariableA("CRATERDIP_TILT_SCRIPT", (REPLAY_DIR "/" + name + ".tilt").c_str());
        ChildProcess replay;
        replay.Start(L"replay_run.exe", std::wstring(arguments.begin(), arguments.end()),
                     ChildProcess::kOutput);
        replay.Wait();
        EXPECT_EQ(Record(line.substr(line.find('|') + 1)), Record(replay.output)) << name;
        ++cases;
    }
    EXPECT_EQ(18, cases);
}

} // namespace
