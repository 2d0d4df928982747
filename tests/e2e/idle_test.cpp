// A server that nobody is connected to, with nothing playing, does no work:
// its main thread is not woken by the status or spectrum timers.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "ServerProcess.h"

namespace tembrel::test {
namespace {

using namespace std::chrono_literals;

// How often a thread gave up the processor, voluntarily or not, from
// /proc/<pid>/task/<tid>/status.
std::optional<long long> contextSwitches(qint64 pid, qint64 tid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) +
                         "/status");
    if (!status) {
        return std::nullopt;
    }
    long long total = 0;
    std::string line;
    while (std::getline(status, line)) {
        for (const std::string_view key :
             {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
            if (line.starts_with(key)) {
                total += std::stoll(line.substr(key.size()));
            }
        }
    }
    return total;
}

TEST(Idle, WithNobodyConnectedTheMainThreadSleeps) {
    // The spectrum at 60 updates per second would wake it 60 times a second,
    // the status once a second, if they ran for nobody.
    ServerProcess server({"--spectrum", "60"});
    ASSERT_TRUE(server.ready()) << server.log();
    // A user comes, starts the status timer with its join, and leaves.
    const RemoteRun run = server.remote({"status"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::this_thread::sleep_for(1500ms);

    const qint64 pid = server.pid();
    const auto before = contextSwitches(pid, pid);
    ASSERT_TRUE(before);
    std::this_thread::sleep_for(3s);
    const auto after = contextSwitches(pid, pid);
    ASSERT_TRUE(after);
    EXPECT_LE(*after - *before, 2) << server.log();
}

} // namespace
} // namespace tembrel::test
