// "GetDetail" over a real connection: the album picture next to a playlist
// entry's file, whole in one message, or "^NoImage" with the client's number.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "remote/ControllerHarness.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using net::CNDKMessage;
using Names = std::vector<std::string>;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator());
    }
    return bytes;
}

// media/Artist/{Exact, Lower, Bare}/track.mp3 with "Folder.jpg", "folder.jpg"
// and no picture; Large/ holds a picture of 3 MiB.
class PictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new TempDir();
        ToneSpec tone;
        tone.seconds = 1.0;
        const fs::path track = media_->path() / "track.mp3";
        ASSERT_TRUE(makeMp3(track, tone));
        for (const char* album : {"Exact", "Lower", "Bare", "Large"}) {
            const fs::path folder = media_->path() / "Artist" / album;
            fs::create_directories(folder);
            fs::copy_file(track, folder / "track.mp3");
        }
        ASSERT_TRUE(writeFile(albumFolder("Exact") / "Folder.jpg", exactPicture()));
        ASSERT_TRUE(writeFile(albumFolder("Lower") / "folder.jpg", lowerPicture()));
        ASSERT_TRUE(writeFile(albumFolder("Large") / "Folder.jpg", largePicture()));
        fs::remove(track);
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    static fs::path albumFolder(const char* album) { return media_->path() / "Artist" / album; }
    static const std::string& exactPicture() {
        static const std::string bytes = randomBytes(300'000, 1);
        return bytes;
    }
    static const std::string& lowerPicture() {
        static const std::string bytes = randomBytes(1234, 2);
        return bytes;
    }
    static const std::string& largePicture() {
        static const std::string bytes = randomBytes(3u << 20, 3);
        return bytes;
    }

    // Starts a server over the media folder and queues the four albums'
    // tracks in the order Exact, Lower, Bare, Large.
    void serve(net::CNDKHost::Limits limits = {}) {
        served_ = std::make_unique<ControllerHarness>(
            silentSoundLibrary(), ControllerHarness::Setup{{media_->path()}, limits});
        ASSERT_TRUE(served_->started());
        ASSERT_FALSE(connectAndJoin(client_, served_->port(), "viewer").empty());
        const Names albums = payloads(exchange(client_, "GetAlbums", "2"), "^AddAlbum");
        for (const char* album : {"Exact", "Lower", "Bare", "Large"}) {
            const auto found = std::find(albums.begin(), albums.end(), album);
            ASSERT_NE(found, albums.end());
            (void)exchange(client_, "GetAlbumTracks", std::to_string(found - albums.begin() + 2));
            ASSERT_EQ(countNamed(exchange(client_, "PlayAlbumTrack", "2"), "^AddTrack"), 1);
        }
        ASSERT_EQ(served_->server().playlist().count(), 4);
    }

    // The "^Image" or "^NoImage" answer to "GetDetail" with `argument`.
    CNDKMessage detail(std::string_view argument) {
        EXPECT_TRUE(client_.send(makeCommand("GetDetail", argument)));
        const auto received = client_.receiveUntil(
            [](const CNDKMessage& m) { return nameOf(m) == "^Image" || nameOf(m) == "^NoImage"; },
            10'000);
        (void)client_.drain(50);
        return received ? received->back() : CNDKMessage();
    }

    static void expectImage(const CNDKMessage& reply, const std::string& picture) {
        ASSERT_EQ(nameOf(reply), "^Image");
        ASSERT_EQ(reply.valueCount(), 3);
        EXPECT_TRUE(reply.value(1).isType(net::ValueType::Bytes));
        const auto& bytes = reply.value(1).bytes();
        EXPECT_TRUE(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()) ==
                    picture);
        std::int32_t size = 0;
        reply.readValue(2, size);
        EXPECT_TRUE(reply.value(2).isType(net::ValueType::FourByteB));
        EXPECT_EQ(size, static_cast<std::int32_t>(picture.size()));
        // Built from scratch, not in the command message.
        EXPECT_NE(reply.id(), protocol::kIdCommand);
    }

    static TempDir* media_;
    std::unique_ptr<ControllerHarness> served_;
    TestClient client_;
};

TempDir* PictureTest::media_ = nullptr;

TEST_F(PictureTest, SendsTheWholePictureOfTheEntrysFolderInAnyLetterCase) {
    serve();
    expectImage(detail("1"), exactPicture());
    expectImage(detail("2"), lowerPicture());
    expectImage(detail("4"), largePicture());
}

TEST_F(PictureTest, AnswersNoImageWithTheClientsNumberWhenThereIsNone) {
    serve();
    for (const std::string_view argument : {"3", "0", "5", "50", "51", "-1", "abc", ""}) {
        const CNDKMessage reply = detail(argument);
        EXPECT_EQ(nameOf(reply), "^NoImage") << argument;
        EXPECT_EQ(textAt(reply, 1), argument);
        EXPECT_EQ(reply.id(), protocol::kIdCommand);
    }
    EXPECT_EQ(served_->server().playlist().count(), 4);
}

TEST_F(PictureTest, APictureNoMessageCouldCarryIsNotSent) {
    net::CNDKHost::Limits limits;
    limits.codec.maxMessageBytes = 1u << 20;
    serve(limits);
    expectImage(detail("1"), exactPicture());
    EXPECT_EQ(nameOf(detail("4")), "^NoImage");
}

} // namespace
} // namespace tembrel::test
