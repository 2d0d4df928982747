// Uploads over a real connection: the chunk replies, the length rules and the
// failures they cause, the queueing of the finished file under the client's
// names, paths that try to leave the upload folder, and idle removal.
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "remote/ControllerHarness.h"
#include "remote/UploadFolder.h"
#include "remote/UploadSessions.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using net::CNDKMessage;
using net::CNDKValue;
using net::ValueType;
using Names = std::vector<std::string>;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CNDKValue fourByteB(std::int32_t number) {
    return CNDKValue::fromScalar(ValueType::FourByteB, number);
}

std::int32_t numberAt(const CNDKMessage& message, int index) {
    std::int32_t number = 0;
    message.readValue(index, number);
    return number;
}

// The upload layout: value 2 and 5 numbers, value 3 the server-side path.
CNDKMessage uploadCommand(std::string_view command, std::string_view serverPath) {
    CNDKMessage message(protocol::kIdCommand);
    message.appendText(command);
    message.appendText("");
    message.appendValue(fourByteB(0));
    message.appendText(serverPath);
    message.appendText("");
    message.appendValue(fourByteB(0));
    return message;
}

CNDKMessage startFile(std::string_view serverPath, std::int32_t returnNumber) {
    CNDKMessage message = uploadCommand("StartFile", serverPath);
    message.putValue(5, fourByteB(returnNumber));
    return message;
}

CNDKMessage sendFile(std::string_view serverPath, std::string_view chunk, std::int32_t length) {
    CNDKMessage message = uploadCommand("SendFile", serverPath);
    message.putBytes(1, {reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()});
    message.putValue(2, fourByteB(length));
    return message;
}

CNDKMessage endFile(std::string_view serverPath, std::string_view clientPath) {
    CNDKMessage message = uploadCommand("EndFile", serverPath);
    message.appendText(clientPath);
    return message;
}

// The one "^GetFileChunk" among the replies; the message with no values when
// there is none.
CNDKMessage chunkReply(const std::vector<CNDKMessage>& replies) {
    for (const auto& reply : replies) {
        if (nameOf(reply) == "^GetFileChunk") {
            return reply;
        }
    }
    return CNDKMessage();
}

// Regular files under `root`, outside its "uploads" folder.
std::vector<std::string> strayFiles(const fs::path& root) {
    std::vector<std::string> found;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
        if (it->path().filename() == "uploads" && it->is_directory()) {
            it.disable_recursion_pending();
        } else if (it->is_regular_file()) {
            found.push_back(it->path().string());
        }
    }
    return found;
}

class UploadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sources_ = new TempDir();
        ToneSpec tone;
        tone.seconds = 3.0;
        ASSERT_TRUE(makeMp3(sources_->path() / "song.mp3", tone));
    }
    static void TearDownTestSuite() {
        delete sources_;
        sources_ = nullptr;
    }

    void SetUp() override {
        served_ =
            std::make_unique<ControllerHarness>(silentSoundLibrary(), ControllerHarness::Setup{});
        ASSERT_TRUE(served_->started());
        ASSERT_FALSE(connectAndJoin(client_, served_->port(), "uploader").empty());
    }

    // Uploads the generated song as `serverPath` in chunks of the given sizes
    // (the last one takes the rest).
    void upload(std::string_view serverPath, const std::vector<std::size_t>& sizes) {
        const std::string song = readAll(sources_->path() / "song.mp3");
        ASSERT_GT(song.size(), 20'000u);
        const CNDKMessage started = chunkReply(exchange(client_, startFile(serverPath, 4711)));
        ASSERT_EQ(nameOf(started), "^GetFileChunk");
        EXPECT_EQ(numberAt(started, 5), 4711);
        EXPECT_TRUE(started.value(5).isType(ValueType::FourByteB));
        EXPECT_EQ(textAt(started, 3), serverPath);

        std::size_t offset = 0;
        for (std::size_t i = 0; offset < song.size(); ++i) {
            const std::size_t size = i + 1 < sizes.size() ? std::min(sizes[i], song.size() - offset)
                                                          : song.size() - offset;
            const std::string chunk = song.substr(offset, size);
            const CNDKMessage reply = chunkReply(
                exchange(client_, sendFile(serverPath, chunk, static_cast<std::int32_t>(size))));
            ASSERT_EQ(nameOf(reply), "^GetFileChunk") << "chunk " << i;
            // The chunk travels back to the client.
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.value(1).bytes().data()),
                                  reply.value(1).bytes().size()),
                      chunk);
            offset += size;
        }
    }

    static TempDir* sources_;
    std::unique_ptr<ControllerHarness> served_;
    TestClient client_;
};

TempDir* UploadTest::sources_ = nullptr;

TEST_F(UploadTest, AChunkedUploadIsStoredWholeAndQueuedUnderTheClientsNames) {
    upload("D:\\incoming\\song.mp3", {1000, 7, 65536, 4096});
    const fs::path stored = served_->uploadDir() / "song.mp3";
    EXPECT_FALSE(fs::exists(stored)); // unfinished until "EndFile"
    const auto replies =
        exchange(client_, endFile("D:\\incoming\\song.mp3", "C:\\Music\\Artist\\Album\\song.mp3"));
    EXPECT_EQ(readAll(stored), readAll(sources_->path() / "song.mp3"));
    EXPECT_EQ(payloads(replies, "^AddTrack"), Names{"Artist\\song\\0:03"});
    EXPECT_EQ(payloads(replies, "^Error"), Names{"Track [song] Added to playlist"});
    EXPECT_EQ(payloads(replies, "^CurrentTrackInfo"), Names{"song\\Album\\Artist"});
    ASSERT_EQ(served_->server().playlist().count(), 1);
    EXPECT_EQ(served_->server().playlist().entry(0).path, stored.string());
}

TEST_F(UploadTest, UploadsOfTheListedFormatsInAnyCaseAreQueuedOthersAreNot) {
    upload("LOUD.MP3", {65536});
    const auto queued = exchange(client_, endFile("LOUD.MP3", "C:\\Music\\A\\B\\LOUD.MP3"));
    EXPECT_EQ(payloads(queued, "^Error"), Names{"Track [LOUD] Added to playlist"});

    // The same audio under a name that is no audio format is no track.
    upload("notes.txt", {65536});
    const auto refused = exchange(client_, endFile("notes.txt", "C:\\Music\\A\\B\\notes.txt"));
    EXPECT_EQ(payloads(refused, "^Error"), Names{"Cannot play track: notes - File may use DRM"});
    EXPECT_EQ(served_->server().playlist().count(), 1);
}

TEST_F(UploadTest, TheDeclaredLengthPadsOrCutsEachChunk) {
    const fs::path stored = served_->uploadDir() / "f.bin.part";
    (void)exchange(client_, startFile("f.bin", 1));
    EXPECT_EQ(readAll(stored), "");

    (void)exchange(client_, sendFile("f.bin", "12345", 8));
    (void)exchange(client_, sendFile("f.bin", "abcdef", 2));
    CNDKMessage textChunk = sendFile("f.bin", "", 4);
    textChunk.putText(1, "not bytes");
    (void)exchange(client_, textChunk);
    EXPECT_EQ(readAll(stored), std::string("12345\0\0\0ab\0\0\0\0", 14));

    // A fill of exactly the bound is written; one byte more fails the upload.
    constexpr auto kBound = static_cast<std::int32_t>(remote::UploadSessions::kMaxZeroFillBytes);
    EXPECT_EQ(nameOf(chunkReply(exchange(client_, sendFile("f.bin", "cd", 2 + kBound)))),
              "^GetFileChunk");
    EXPECT_EQ(readAll(stored).size(), 16u + kBound);
    const std::string tooLong =
        "Cannot store upload: a chunk may declare at most 65536 bytes more than it carries";
    EXPECT_EQ(payloads(exchange(client_, sendFile("f.bin", "ef", 3 + kBound)), "^Error"),
              Names{tooLong});
}

TEST_F(UploadTest, ARefusedChunkFailsTheUploadUpToItsEndFile) {
    const std::string badLength = "Cannot store upload: the chunk length is not valid";
    const std::string tooLong =
        "Cannot store upload: a chunk may declare at most 65536 bytes more than it carries";
    for (const auto& [absurd, text] : {std::pair{-1, badLength}, std::pair{-2147483647, badLength},
                                       std::pair{2147483647, tooLong}}) {
        upload("song.mp3", {20'000});
        const auto refused = exchange(client_, sendFile("song.mp3", "zz", absurd));
        EXPECT_EQ(chunkReply(refused).valueCount(), 0) << absurd;
        EXPECT_EQ(payloads(refused, "^Error"), Names{text}) << absurd;
        // The file missed data: it is gone, later chunks and the EndFile are
        // refused with the same reason, and nothing is queued.
        EXPECT_TRUE(fs::is_empty(served_->uploadDir())) << absurd;
        EXPECT_EQ(payloads(exchange(client_, sendFile("song.mp3", "ok", 2)), "^Error"),
                  Names{text});
        const auto ended = exchange(client_, endFile("song.mp3", "C:\\Music\\A\\B\\song.mp3"));
        EXPECT_EQ(payloads(ended, "^Error"), Names{text}) << absurd;
        EXPECT_EQ(countNamed(ended, "^AddTrack"), 0);
        EXPECT_TRUE(fs::is_empty(served_->uploadDir())) << absurd;
    }
    EXPECT_EQ(served_->server().playlist().count(), 0);
    // The same name uploads whole afterwards.
    upload("song.mp3", {65536});
    const auto queued = exchange(client_, endFile("song.mp3", "C:\\Music\\A\\B\\song.mp3"));
    EXPECT_EQ(payloads(queued, "^Error"), Names{"Track [song] Added to playlist"});
}

TEST_F(UploadTest, PathsNeverLeaveTheUploadFolder) {
    const fs::path root = served_->uploadRoot();
    const fs::path victim = root / "victim.mp3";
    ASSERT_TRUE(writeFile(victim, "precious"));
    const std::string absolute = (root / "absolute.mp3").string();
    for (const std::string_view path :
         {std::string_view("../x.mp3"), std::string_view("..\\..\\y.mp3"),
          std::string_view(absolute), std::string_view("../victim.mp3"), std::string_view(""),
          std::string_view(".."), std::string_view("/")}) {
        EXPECT_EQ(nameOf(chunkReply(exchange(client_, startFile(path, 9)))), "^GetFileChunk");
        EXPECT_EQ(nameOf(chunkReply(exchange(client_, sendFile(path, "payload", 7)))),
                  "^GetFileChunk");
        // The last component of an accepted path lands inside the folder.
        if (const auto name = remote::UploadFolder::fileNameOf(path)) {
            EXPECT_EQ(readAll(served_->uploadDir() / (*name + ".part")), "payload") << path;
        }
    }
    EXPECT_EQ(strayFiles(root), std::vector<std::string>{victim.string()});
    EXPECT_EQ(readAll(victim), "precious");

    // A refused name could not be stored, so finishing it fails like any
    // upload the server cannot open, with the title the client's path gives.
    for (const std::string_view refused : {"", "..", "C:\\Music\\"}) {
        const auto replies = exchange(client_, endFile(refused, "C:\\Music\\A\\B\\song.mp3"));
        EXPECT_EQ(payloads(replies, "^Error"), Names{"Cannot play track: song - File may use DRM"})
            << refused;
    }
    EXPECT_EQ(served_->server().playlist().count(), 0);
}

TEST_F(UploadTest, FinishingAMissingUploadReportsTheClientsFileName) {
    const auto replies = exchange(client_, endFile("never.mp3", "C:\\Music\\A\\B\\never sent.mp3"));
    EXPECT_EQ(payloads(replies, "^Error"),
              Names{"Cannot play track: never sent - File may use DRM"});
    EXPECT_EQ(countNamed(replies, "^AddTrack"), 0);
}

TEST_F(UploadTest, AFullPlaylistRefusesTheFinishedUpload) {
    upload("song.mp3", {65536});
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(
            countNamed(exchange(client_, endFile("song.mp3", "C:\\A\\B\\song.mp3")), "^AddTrack"),
            1)
            << i;
    }
    const auto refused = exchange(client_, endFile("song.mp3", "C:\\A\\B\\song.mp3"));
    EXPECT_EQ(payloads(refused, "^Error"), Names{"Cannot play track: Playlist is full"});
    const auto refusedName = exchange(client_, endFile("..", "C:\\A\\B\\song.mp3"));
    EXPECT_EQ(payloads(refusedName, "^Error"), Names{"Cannot play track: Playlist is full"});
    EXPECT_EQ(served_->server().playlist().count(), 50);

    // A whole upload finished while the playlist is full is refused the same
    // way but kept, under its finished name; an empty one can never play.
    upload("late.mp3", {65536});
    const auto late = exchange(client_, endFile("late.mp3", "C:\\A\\B\\late.mp3"));
    EXPECT_EQ(payloads(late, "^Error"), Names{"Cannot play track: Playlist is full"});
    EXPECT_EQ(readAll(served_->uploadDir() / "late.mp3"), readAll(sources_->path() / "song.mp3"));
    (void)exchange(client_, startFile("empty.mp3", 1));
    const auto empty = exchange(client_, endFile("empty.mp3", "C:\\A\\B\\empty.mp3"));
    EXPECT_EQ(payloads(empty, "^Error"), Names{"Cannot play track: Playlist is full"});
    EXPECT_FALSE(fs::exists(served_->uploadDir() / "empty.mp3"));
    EXPECT_FALSE(fs::exists(served_->uploadDir() / "empty.mp3.part"));
}

TEST(UploadIdle, AnUploadWithNoChunkForTheIdleLimitIsRemovedOnlyThen) {
    ControllerHarness::Setup setup;
    setup.uploadIdleLimit = std::chrono::milliseconds(800);
    ControllerHarness served(silentSoundLibrary(), setup);
    ASSERT_TRUE(served.started());
    TestClient client;
    ASSERT_FALSE(connectAndJoin(client, served.port(), "slow").empty());
    const fs::path unfinished = served.uploadDir() / "slow.mp3.part";
    (void)exchange(client, startFile("slow.mp3", 1));
    // Chunks more often than the limit keep the upload, however long it takes.
    QElapsedTimer elapsed;
    elapsed.start();
    std::size_t sent = 0;
    while (elapsed.elapsed() < 2000) {
        ASSERT_EQ(nameOf(chunkReply(exchange(client, sendFile("slow.mp3", "abc", 3)))),
                  "^GetFileChunk");
        sent += 3;
        pumpEvents(100);
    }
    EXPECT_EQ(readAll(unfinished).size(), sent);
    // Then silence: the file goes within the limit and a sweep.
    EXPECT_TRUE(waitUntil([&] { return !fs::exists(unfinished); }, 5000));
    EXPECT_TRUE(fs::is_empty(served.uploadDir()));
    // The upload is forgotten: a late chunk writes nothing and EndFile finds
    // no file.
    (void)exchange(client, sendFile("slow.mp3", "abc", 3));
    const auto ended = exchange(client, endFile("slow.mp3", "C:\\A\\B\\slow.mp3"));
    EXPECT_EQ(payloads(ended, "^Error"), Names{"Cannot play track: slow - File may use DRM"});
    EXPECT_TRUE(fs::is_empty(served.uploadDir()));
}

TEST_F(UploadTest, StartFileReturnsValueFiveAsSentAndLeavesValueFourAlone) {
    // Value 4 carries something of the client's own; value 5 the number.
    CNDKMessage request = startFile("n.bin", 0);
    request.putValue(4, fourByteB(-31));
    request.putValue(5, fourByteB(2'000'000'123));
    CNDKMessage reply = chunkReply(exchange(client_, request));
    ASSERT_EQ(nameOf(reply), "^GetFileChunk");
    ASSERT_EQ(reply.valueCount(), 6);
    EXPECT_TRUE(reply.value(4).isType(ValueType::FourByteB));
    EXPECT_EQ(numberAt(reply, 4), -31);
    EXPECT_TRUE(reply.value(5).isType(ValueType::FourByteB));
    EXPECT_EQ(numberAt(reply, 5), 2'000'000'123);

    // A value 5 of another type is read as a number all the same and goes
    // back as FourByteB: a signed 4-byte value keeps its number, text reads as 0.
    request.putValue(4, CNDKValue::fromText("client note"));
    request.putValue(5, CNDKValue::fromScalar(ValueType::FourByteA, std::int32_t{-7}));
    reply = chunkReply(exchange(client_, request));
    EXPECT_TRUE(reply.value(5).isType(ValueType::FourByteB));
    EXPECT_EQ(numberAt(reply, 5), -7);
    EXPECT_EQ(textAt(reply, 4), "client note");
    request.putValue(5, CNDKValue::fromText("12"));
    reply = chunkReply(exchange(client_, request));
    EXPECT_TRUE(reply.value(5).isType(ValueType::FourByteB));
    EXPECT_EQ(numberAt(reply, 5), 0);
    EXPECT_EQ(textAt(reply, 4), "client note");

    // Without a value 5 (nor 4) the reply gains them: an empty text in value
    // 4 and the number 0 in value 5.
    CNDKMessage shortRequest(protocol::kIdCommand);
    shortRequest.appendText("StartFile");
    shortRequest.appendText("");
    shortRequest.appendValue(fourByteB(0));
    shortRequest.appendText("n.bin");
    reply = chunkReply(exchange(client_, shortRequest));
    ASSERT_EQ(reply.valueCount(), 6);
    EXPECT_TRUE(reply.value(4).isType(ValueType::Text));
    EXPECT_EQ(textAt(reply, 4), "");
    EXPECT_TRUE(reply.value(5).isType(ValueType::FourByteB));
    EXPECT_EQ(numberAt(reply, 5), 0);
    EXPECT_EQ(textAt(reply, 3), "n.bin");

    // Starting again drops the earlier chunks; the next ones begin a new file.
    (void)exchange(client_, sendFile("n.bin", "first try", 9));
    (void)exchange(client_, startFile("n.bin", 3));
    (void)exchange(client_, sendFile("n.bin", "again", 5));
    EXPECT_EQ(readAll(served_->uploadDir() / "n.bin.part"), "again");
}

} // namespace
} // namespace tembrel::test
