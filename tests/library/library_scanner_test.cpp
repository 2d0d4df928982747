// Scans on the worker: the caller's thread gets the log lines and then the
// complete library through its event loop, never during start(); a cancelled
// or overtaken scan delivers nothing.
#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "LibraryTree.h"
#include "library/LibraryScanner.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;
using library::LibraryScanner;

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

struct Delivery {
    int finishedCalls = 0;
    int artists = 0;
    int tracks = 0;
    std::vector<std::string> logLines;
    std::size_t linesAtFinish = 0;
};

LibraryScanner::Finished recordInto(Delivery& delivery) {
    return [&delivery](CMediaLibrary& scanned) {
        ++delivery.finishedCalls;
        delivery.artists = scanned.artistTotal();
        delivery.tracks = scanned.trackTotal();
        delivery.linesAtFinish = delivery.logLines.size();
    };
}

TEST(LibraryScanner, DeliversTheWholeLibraryAfterItsLogLines) {
    LibraryTree tree;
    tree.audioFiles("music/A/Album", "a", 20);
    tree.audioFiles("music/B", "b", 5);
    Delivery delivery;
    LibraryScanner scanner([&](std::string_view line) { delivery.logLines.emplace_back(line); });

    scanner.start({tree.path("music"), "", "", "", ""}, library::AudioFormats(),
                  recordInto(delivery));
    EXPECT_TRUE(scanner.isScanning());
    EXPECT_EQ(delivery.finishedCalls, 0); // only ever through the event loop
    EXPECT_TRUE(delivery.logLines.empty());

    ASSERT_TRUE(pumpUntil([&] { return delivery.finishedCalls > 0; }, std::chrono::seconds(10)));
    EXPECT_FALSE(scanner.isScanning());
    EXPECT_EQ(delivery.artists, 2);
    EXPECT_EQ(delivery.tracks, 25);
    EXPECT_EQ(delivery.linesAtFinish, delivery.logLines.size());
    ASSERT_FALSE(delivery.logLines.empty());
    EXPECT_EQ(delivery.logLines.front(), "Get Artists");
    EXPECT_EQ(delivery.logLines.back(),
              "Location " + tree.path("music") + ": 2 artists, 1 album, 25 tracks");
}

TEST(LibraryScanner, ANewerScanOrACancelDropsTheOlderResult) {
    LibraryTree tree;
    tree.audioFiles("old/A/Album", "a", 3);
    tree.audioFiles("new/B/Album", "b", 4);
    Delivery first;
    Delivery second;
    std::vector<std::string> lines;
    LibraryScanner scanner([&](std::string_view line) { lines.emplace_back(line); });

    scanner.start({tree.path("old"), "", "", "", ""}, library::AudioFormats(), recordInto(first));
    scanner.start({tree.path("new"), "", "", "", ""}, library::AudioFormats(), recordInto(second));
    ASSERT_TRUE(pumpUntil([&] { return second.finishedCalls > 0; }, std::chrono::seconds(10)));
    pumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(first.finishedCalls, 0);
    EXPECT_EQ(second.finishedCalls, 1);
    EXPECT_EQ(second.tracks, 4);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find(tree.path("old")), std::string::npos) << line;
    }

    Delivery cancelled;
    lines.clear();
    scanner.start({tree.path("new"), "", "", "", ""}, library::AudioFormats(),
                  recordInto(cancelled));
    scanner.cancel();
    EXPECT_FALSE(scanner.isScanning());
    pumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(cancelled.finishedCalls, 0);
    EXPECT_TRUE(lines.empty());
}

} // namespace
} // namespace tembrel::test
