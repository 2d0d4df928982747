// Hostile uploads against the real server: a few bytes on the wire asking for
// a large zero fill, the quota as files come and go by hand, a flood of
// started uploads, unfinished files of an
// earlier run, two users uploading one name, and links planted in the upload
// folder. A monitor user's round trip is measured while the attacks run.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>

#include "ServerProcess.h"
#include "net/CNDKArchive.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using net::CNDKMessage;

constexpr int kReplyTimeoutMs = 10000;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::uintmax_t bytesIn(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        total += entry.is_regular_file() ? entry.file_size() : 0;
    }
    return total;
}

std::int32_t numberAt(const CNDKMessage& message, int index) {
    std::int32_t number = 0;
    message.readValue(index, number);
    return number;
}

CNDKMessage upload(std::string_view command, std::string_view serverPath, std::string_view chunk,
                   std::int32_t length, std::int32_t number) {
    CNDKMessage message = makeCommand(command);
    message.putBytes(1, {reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()});
    message.putFourByteB(2, length);
    message.putText(3, serverPath);
    message.putText(4, "");
    message.putFourByteB(5, number);
    return message;
}

bool joinAs(TestClient& client, int port, std::string_view name) {
    client.setAutoAnswerPings(true);
    CNDKMessage join(0);
    join.appendText(name);
    return client.connectTo(static_cast<quint16>(port)) && client.send(join);
}

// The sender's own reply to an upload message (its "^GetFileChunk" or
// "^Error"), skipping the status pushed to everyone.
std::optional<CNDKMessage> replyTo(TestClient& client, std::string_view serverPath) {
    const auto received = client.receiveUntil(
        [&](const CNDKMessage& m) {
            const std::string name = textAt(m, 0);
            return (name == "^GetFileChunk" || name == "^Error") && textAt(m, 3) == serverPath;
        },
        kReplyTimeoutMs);
    if (!received) {
        return std::nullopt;
    }
    return received->back();
}

// The text of the "^Error" an EndFile of a failed upload gets.
std::string endFileError(TestClient& client, std::string_view serverPath) {
    if (!client.send(upload("EndFile", serverPath, "", 0, 0))) {
        return {};
    }
    const auto reply = replyTo(client, serverPath);
    return reply && textAt(*reply, 0) == "^Error" ? textAt(*reply, 1) : std::string();
}

// A user that keeps asking for a reply only it gets, timing each one.
class Monitor {
public:
    explicit Monitor(int port) { joined_ = joinAs(client_, port, "monitor"); }

    // One round trip; false when no reply came.
    bool roundTrip() {
        QElapsedTimer timer;
        timer.start();
        const std::int32_t number = ++count_;
        if (!client_.send(upload("StartFile", "monitor.bin", "", 0, number))) {
            return false;
        }
        const auto received = client_.receiveUntil(
            [&](const CNDKMessage& m) {
                return textAt(m, 0) == "^GetFileChunk" && numberAt(m, 5) == number;
            },
            kReplyTimeoutMs);
        worstMs_ = std::max(worstMs_, timer.elapsed());
        return received.has_value();
    }
    [[nodiscard]] bool joined() const { return joined_; }
    [[nodiscard]] qint64 worstMs() const { return worstMs_; }

private:
    TestClient client_;
    bool joined_ = false;
    std::int32_t count_ = 0;
    qint64 worstMs_ = 0;
};

TEST(UploadLimits, FewBytesCannotFillTheDiskAndTheQuotaRefusesWithAnError) {
    ServerProcess server({QStringLiteral("--upload-quota"), QStringLiteral("1M")});
    ASSERT_TRUE(server.ready());
    Monitor monitor(server.port());
    TestClient attacker;
    ASSERT_TRUE(monitor.joined());
    ASSERT_TRUE(joinAs(attacker, server.port(), "filler"));

    // Empty chunks declaring 200 MiB each: nothing is written, the sender is
    // told, and the upload it cannot finish is refused at EndFile.
    constexpr std::int32_t kHugeLength = 200 << 20;
    constexpr int kHugeChunks = 20;
    const std::string tooLong =
        "Cannot store upload: a chunk may declare at most 65536 bytes more than it carries";
    std::size_t sent = 0;
    ASSERT_TRUE(attacker.send(upload("StartFile", "z.mp3", "", 0, 1)));
    ASSERT_TRUE(replyTo(attacker, "z.mp3"));
    for (int i = 0; i < kHugeChunks; ++i) {
        const CNDKMessage chunk = upload("SendFile", "z.mp3", "", kHugeLength, 0);
        sent += net::CNDKArchive::encodedSize(chunk);
        ASSERT_TRUE(attacker.send(chunk));
        ASSERT_TRUE(monitor.roundTrip());
        const auto reply = replyTo(attacker, "z.mp3");
        ASSERT_TRUE(reply);
        EXPECT_EQ(textAt(*reply, 0), "^Error");
        EXPECT_EQ(textAt(*reply, 1), tooLong);
    }
    std::cout << "zero fill: " << bytesIn(server.uploadDir()) << " bytes written for " << sent
              << " bytes sent\n";
    EXPECT_EQ(bytesIn(server.uploadDir()), 0u);
    EXPECT_EQ(endFileError(attacker, "z.mp3"), tooLong);
    EXPECT_EQ(namesIn(server.uploadDir()), std::vector<std::string>{"monitor.bin.part"});

    // Small fills are written until the folder's quota is reached; then the
    // sender is told and the partial file is removed.
    constexpr std::int32_t kFill = 64 * 1024;
    ASSERT_TRUE(attacker.send(upload("StartFile", "z.mp3", "", 0, 1)));
    ASSERT_TRUE(replyTo(attacker, "z.mp3"));
    std::string last;
    for (int i = 0; i < 32 && last != "^Error"; ++i) {
        ASSERT_TRUE(attacker.send(upload("SendFile", "z.mp3", "abc", kFill, 0)));
        const auto reply = replyTo(attacker, "z.mp3");
        ASSERT_TRUE(reply);
        last = textAt(*reply, 0);
        if (last == "^Error") {
            EXPECT_EQ(textAt(*reply, 1), "Cannot store upload: the server's upload folder is full");
            EXPECT_EQ(i, 16); // 16 fills of 64 KiB make the 1 MiB quota
        }
    }
    EXPECT_EQ(last, "^Error");
    EXPECT_EQ(namesIn(server.uploadDir()), std::vector<std::string>{"monitor.bin.part"});
    // The upload stays failed: its EndFile queues nothing.
    EXPECT_EQ(endFileError(attacker, "z.mp3"),
              "Cannot store upload: the server's upload folder is full");
    std::cout << "monitor worst round trip: " << monitor.worstMs() << " ms\n";
}

// Sends chunks of `chunkBytes` until one is refused or `maxChunks` are
// stored; how many were stored.
int chunksStored(TestClient& client, std::string_view serverPath, std::size_t chunkBytes,
                 int maxChunks) {
    if (!client.send(upload("StartFile", serverPath, "", 0, 1)) || !replyTo(client, serverPath)) {
        return -1;
    }
    const std::string chunk(chunkBytes, 'x');
    for (int i = 0; i < maxChunks; ++i) {
        const auto length = static_cast<std::int32_t>(chunkBytes);
        if (!client.send(upload("SendFile", serverPath, chunk, length, 0))) {
            return -1;
        }
        const auto reply = replyTo(client, serverPath);
        if (!reply || textAt(*reply, 0) != "^GetFileChunk") {
            return i;
        }
    }
    return maxChunks;
}

TEST(UploadLimits, TheQuotaFollowsFilesAddedOrRemovedByHand) {
    ServerProcess server({QStringLiteral("--upload-quota"), QStringLiteral("1M")});
    ASSERT_TRUE(server.ready());
    TestClient client;
    ASSERT_TRUE(joinAs(client, server.port(), "uploader"));
    // What the folder holds is counted again at most once a second.
    constexpr auto kPastRecount = std::chrono::milliseconds(1100);
    constexpr std::size_t kChunk = 32 * 1024;
    const fs::path byHand = server.uploadDir() / "by hand.mp3";
    ASSERT_TRUE(writeFile(byHand, std::string(960 * 1024, 'h')));
    std::this_thread::sleep_for(kPastRecount);
    // 64 KiB of room are left: two chunks.
    EXPECT_EQ(chunksStored(client, "a.bin", kChunk, 8), 2);
    fs::remove(byHand);
    std::this_thread::sleep_for(kPastRecount);
    EXPECT_EQ(chunksStored(client, "b.bin", kChunk, 24), 24);
}

TEST(UploadLimits, StartedUploadsDoNotPileUpAndLeftoversGoAtStart) {
    TempDir uploads;
    ASSERT_TRUE(writeFile(uploads.path() / "kept.mp3", "a finished upload"));
    ASSERT_TRUE(writeFile(uploads.path() / "killed.mp3.part", "an unfinished upload"));
    const QStringList flags{QStringLiteral("--upload-dir"),
                            QString::fromStdString(uploads.path().string())};
    {
        ServerProcess server(flags);
        ASSERT_TRUE(server.ready());
        EXPECT_EQ(namesIn(uploads.path()), std::vector<std::string>{"kept.mp3"});

        Monitor monitor(server.port());
        TestClient attacker;
        ASSERT_TRUE(monitor.joined());
        ASSERT_TRUE(joinAs(attacker, server.port(), "starter"));
        constexpr int kBatches = 10;
        constexpr int kPerBatch = 500;
        for (int batch = 0; batch < kBatches; ++batch) {
            for (int i = 0; i < kPerBatch; ++i) {
                const std::string name = "f" + std::to_string(batch * kPerBatch + i) + ".mp3";
                ASSERT_TRUE(attacker.send(upload("StartFile", name, "", 0, i)));
            }
            ASSERT_TRUE(monitor.roundTrip());
        }
        const std::string lastName = "f" + std::to_string(kBatches * kPerBatch - 1) + ".mp3";
        ASSERT_TRUE(replyTo(attacker, lastName));
        // One open upload per user: the attacker's latest and the monitor's.
        EXPECT_EQ(namesIn(uploads.path()),
                  (std::vector<std::string>{lastName + ".part", "kept.mp3", "monitor.bin.part"}));
        std::cout << "monitor worst round trip: " << monitor.worstMs() << " ms\n";
    }
    // An unfinished file written by a run that did not end cleanly.
    ASSERT_TRUE(writeFile(uploads.path() / "f4999.mp3.part", ""));
    ServerProcess restarted(flags);
    ASSERT_TRUE(restarted.ready());
    EXPECT_EQ(namesIn(uploads.path()), std::vector<std::string>{"kept.mp3"});
}

class TwoUploaders : public ::testing::Test {
protected:
    // Sends `song` in chunks from both users at once, alternating.
    void uploadTogether(TestClient& a, TestClient& b, const std::string& songA,
                        const std::string& songB, std::string_view serverPath) {
        constexpr std::size_t kChunk = 16 * 1024;
        for (TestClient* client : {&a, &b}) {
            ASSERT_TRUE(client->send(upload("StartFile", serverPath, "", 0, 1)));
            ASSERT_TRUE(replyTo(*client, serverPath));
        }
        for (std::size_t offset = 0; offset < std::max(songA.size(), songB.size());
             offset += kChunk) {
            for (const auto& [client, song] : {std::pair{&a, &songA}, std::pair{&b, &songB}}) {
                if (offset >= song->size()) {
                    continue;
                }
                const std::string chunk = song->substr(offset, kChunk);
                ASSERT_TRUE(client->send(upload("SendFile", serverPath, chunk,
                                                static_cast<std::int32_t>(chunk.size()), 0)));
                const auto reply = replyTo(*client, serverPath);
                ASSERT_TRUE(reply);
                ASSERT_EQ(textAt(*reply, 0), "^GetFileChunk");
            }
        }
    }

    // "EndFile" and the confirmation the sender gets.
    static std::string finish(TestClient& client, std::string_view serverPath,
                              std::string_view clientPath) {
        CNDKMessage end = upload("EndFile", serverPath, "", 0, 0);
        end.putText(6, clientPath);
        if (!client.send(end)) {
            return {};
        }
        const auto received = client.receiveUntil(
            [](const CNDKMessage& m) {
                return textAt(m, 0) == "^Error" && !textAt(m, 1).starts_with("Cannot store");
            },
            kReplyTimeoutMs);
        return received ? textAt(received->back(), 1) : std::string();
    }

    TempDir sources_;
};

TEST_F(TwoUploaders, SameNameGivesTwoIntactFilesAndPlantedLinksStayUntouched) {
    ServerProcess server;
    ASSERT_TRUE(server.ready());
    ToneSpec tone;
    tone.seconds = 3;
    tone.tags = TagStyle::Id3v2AndV1;
    tone.title = "First";
    ASSERT_TRUE(makeMp3(sources_.path() / "first.mp3", tone));
    tone.title = "Second";
    tone.frequencyHz = 440;
    ASSERT_TRUE(makeMp3(sources_.path() / "second.mp3", tone));
    const std::string first = readAll(sources_.path() / "first.mp3");
    const std::string second = readAll(sources_.path() / "second.mp3");

    // Links planted in the upload folder to a file outside it, under the
    // names the uploads would take.
    const fs::path outside = server.uploadDir().parent_path() / "outside.mp3";
    ASSERT_TRUE(writeFile(outside, "keep"));
    fs::create_hard_link(outside, server.uploadDir() / "song (2).mp3.part");
    fs::create_symlink(outside, server.uploadDir() / "song (3).mp3.part");

    Monitor monitor(server.port());
    TestClient a;
    TestClient b;
    ASSERT_TRUE(monitor.joined());
    ASSERT_TRUE(joinAs(a, server.port(), "alice"));
    ASSERT_TRUE(joinAs(b, server.port(), "bob"));
    uploadTogether(a, b, first, second, "C:\\up\\song.mp3");
    ASSERT_TRUE(monitor.roundTrip());
    EXPECT_EQ(finish(a, "C:\\up\\song.mp3", "C:\\M\\A\\B\\song.mp3"),
              "Track [First] Added to playlist");
    EXPECT_EQ(finish(b, "C:\\up\\song.mp3", "C:\\M\\A\\B\\song.mp3"),
              "Track [Second] Added to playlist");

    EXPECT_TRUE(readAll(server.uploadDir() / "song.mp3") == first);
    EXPECT_TRUE(readAll(server.uploadDir() / "song (4).mp3") == second);
    EXPECT_EQ(readAll(outside), "keep");
    EXPECT_EQ(fs::hard_link_count(outside), 2u);

    // An upload that cannot be played is not kept.
    ASSERT_TRUE(a.send(upload("StartFile", "noise.mp3", "", 0, 1)));
    ASSERT_TRUE(replyTo(a, "noise.mp3"));
    ASSERT_TRUE(a.send(upload("SendFile", "noise.mp3", "not audio", 9, 0)));
    ASSERT_TRUE(replyTo(a, "noise.mp3"));
    EXPECT_EQ(finish(a, "noise.mp3", "C:\\noise.mp3"),
              "Cannot play track: noise - File may use DRM");
    EXPECT_FALSE(fs::exists(server.uploadDir() / "noise.mp3"));
}

} // namespace
} // namespace tembrel::test
