// Browsing the library and queueing its tracks over a real connection: the
// per-user selection, the numbering, the playlist limit and the answers to
// numbers that address nothing.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "remote/ControllerHarness.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using net::CNDKMessage;
using Names = std::vector<std::string>;

// media/
//   alpha/  First Album/{one.mp3 (tagged), two.mp3 (tagged)}  Second Album/three.mp3
//           loose.mp3 (tagged)
//   Beta/   Only Album/b.mp3   beta_loose.mp3
//   Gamma/  broken.mp3 (not audio)
class BrowseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new TempDir();
        const fs::path root = media_->path();
        const auto mp3 = [&](const fs::path& relative, std::string title) {
            fs::create_directories((root / relative).parent_path());
            ToneSpec tone;
            tone.seconds = 2.0;
            if (!title.empty()) {
                tone.title = std::move(title);
                tone.artist = "Alpha Tag";
                tone.album = "First Tag";
                tone.tags = TagStyle::Id3v2AndV1;
            }
            ASSERT_TRUE(makeMp3(root / relative, tone)) << relative;
        };
        mp3("alpha/First Album/one.mp3", "One");
        mp3("alpha/First Album/two.mp3", "Two");
        mp3("alpha/Second Album/three.mp3", "");
        mp3("alpha/loose.mp3", "Loose One");
        mp3("Beta/Only Album/b.mp3", "");
        mp3("Beta/beta_loose.mp3", "");
        fs::create_directories(root / "Gamma");
        ASSERT_TRUE(writeFile(root / "Gamma" / "broken.mp3", "this is plain text, not audio"));
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    void SetUp() override {
        served_ = std::make_unique<ControllerHarness>(silentSoundLibrary(),
                                                      ControllerHarness::Setup{{media_->path()}});
        ASSERT_TRUE(served_->started());
    }

    // The number a client sends for `item` in a listing.
    static std::string numberOf(const Names& listed, const std::string& item) {
        const auto found = std::find(listed.begin(), listed.end(), item);
        EXPECT_NE(found, listed.end()) << item;
        return std::to_string(found - listed.begin() + 2);
    }

    [[nodiscard]] std::string entryPath(int index) {
        return served_->server().playlist().entry(index).path;
    }
    [[nodiscard]] fs::path media(const fs::path& relative) const {
        return media_->path() / relative;
    }

    static TempDir* media_;
    std::unique_ptr<ControllerHarness> served_;
};

TempDir* BrowseTest::media_ = nullptr;

TEST_F(BrowseTest, BrowsesFromArtistsToATrackAndQueuesThatFile) {
    TestClient client;
    const auto joined = connectAndJoin(client, served_->port(), "tester");
    EXPECT_EQ(payloads(joined, "^AddArtist"), (Names{"alpha", "Beta", "Gamma"}));

    const auto albums = exchange(client, "GetAlbums", "2");
    const Names albumNames = payloads(albums, "^AddAlbum");
    ASSERT_EQ(albumNames.size(), 2u);
    EXPECT_TRUE(std::is_permutation(albumNames.begin(), albumNames.end(),
                                    Names{"First Album", "Second Album"}.begin()));
    EXPECT_EQ(payloads(albums, "^AddAlbumTracks"), Names{"loose.mp3"});
    // Albums come first, then the loose tracks.
    EXPECT_EQ(nameOf(albums[2]), "^AddAlbumTracks");
    // The two trace lines: the artist's first album and its owner's slot.
    const int albumTrace = served_->view().logIndex(albumNames.front());
    ASSERT_GE(albumTrace, 0);
    EXPECT_EQ(served_->view().log.at(static_cast<std::size_t>(albumTrace) + 1), "1");

    const auto tracks = exchange(client, "GetAlbumTracks", numberOf(albumNames, "First Album"));
    const Names trackNames = payloads(tracks, "^AddAlbumTracks");
    ASSERT_EQ(trackNames.size(), 2u);
    EXPECT_TRUE(std::is_permutation(trackNames.begin(), trackNames.end(),
                                    Names{"one.mp3", "two.mp3"}.begin()));

    const std::string number = numberOf(trackNames, "two.mp3");
    const auto queued = exchange(client, "PlayAlbumTrack", number);
    EXPECT_EQ(payloads(queued, "^AddTrack"), Names{"Alpha Tag\\Two\\0:02"});
    EXPECT_EQ(payloads(queued, "^Error"), Names{"Track [Two] Added to playlist"});
    EXPECT_EQ(payloads(queued, "^CurrentTrackInfo"), Names{"Two\\First Tag\\Alpha Tag"});
    EXPECT_EQ(payloads(queued, "^Status"), Names{"Playing"});
    EXPECT_EQ(entryPath(0), media("alpha/First Album/two.mp3").string());
    EXPECT_TRUE(served_->view().logged("tester:" + number));
}

TEST_F(BrowseTest, LooseTracksAreQueuedAfterGetAlbumsOrAlbumChoiceOne) {
    TestClient client;
    ASSERT_FALSE(connectAndJoin(client, served_->port(), "u").empty());
    (void)exchange(client, "GetAlbums", "2");
    EXPECT_EQ(payloads(exchange(client, "PlayAlbumTrack", "2"), "^Error"),
              Names{"Track [Loose One] Added to playlist"});

    // Choice 1 after an album: back to the loose tracks, which it lists.
    const auto albums = payloads(exchange(client, "GetAlbums", "2"), "^AddAlbum");
    (void)exchange(client, "GetAlbumTracks", numberOf(albums, "Second Album"));
    EXPECT_EQ(payloads(exchange(client, "GetAlbumTracks", "1"), "^AddAlbumTracks"),
              Names{"loose.mp3"});
    EXPECT_EQ(payloads(exchange(client, "PlayAlbumTrack", "2"), "^AddTrack"),
              Names{"Alpha Tag\\Loose One\\0:02"});

    ASSERT_EQ(served_->server().playlist().count(), 2);
    EXPECT_EQ(entryPath(0), media("alpha/loose.mp3").string());
    EXPECT_EQ(entryPath(1), media("alpha/loose.mp3").string());
}

TEST_F(BrowseTest, EachUserQueuesFromTheirOwnSelection) {
    TestClient first;
    TestClient second;
    ASSERT_FALSE(connectAndJoin(first, served_->port(), "first").empty());
    ASSERT_FALSE(connectAndJoin(second, served_->port(), "second").empty());
    first.drain(50);

    (void)exchange(first, "GetAlbums", "2");
    (void)exchange(second, "GetAlbums", "3");
    first.drain(50);
    const auto secondAlbums = payloads(exchange(second, "GetAlbums", "3"), "^AddAlbum");
    first.drain(50);
    EXPECT_EQ(secondAlbums, Names{"Only Album"});
    (void)exchange(second, "GetAlbumTracks", "2");
    first.drain(50);

    const auto byFirst = exchange(first, "PlayAlbumTrack", "2");
    second.drain(50);
    // Untagged: the names come from the folders.
    const auto bySecond = exchange(second, "PlayAlbumTrack", "2");
    EXPECT_EQ(payloads(byFirst, "^AddTrack"), Names{"Alpha Tag\\Loose One\\0:02"});
    EXPECT_EQ(payloads(bySecond, "^AddTrack"), Names{"Beta\\b\\0:02"});
    EXPECT_EQ(payloads(bySecond, "^Error"), Names{"Track [b] Added to playlist"});
    // "^AddTrack" reaches everybody, the confirmation only the sender.
    const auto seenByFirst = first.drain(100);
    EXPECT_EQ(payloads(seenByFirst, "^AddTrack"), Names{"Beta\\b\\0:02"});
    EXPECT_EQ(countNamed(seenByFirst, "^Error"), 0);

    EXPECT_EQ(entryPath(0), media("alpha/loose.mp3").string());
    EXPECT_EQ(entryPath(1), media("Beta/Only Album/b.mp3").string());
}

TEST_F(BrowseTest, SelectionsAreKeptForUserIdsBeyondAThousand) {
    // Use up a thousand user ids, at most a dozen connections at a time.
    constexpr int kBatch = 12;
    int issued = 0;
    while (issued < 1000) {
        std::vector<std::unique_ptr<TestClient>> batch;
        for (int i = 0; i < kBatch && issued < 1000; ++i, ++issued) {
            batch.push_back(std::make_unique<TestClient>());
            ASSERT_TRUE(batch.back()->connectTo(served_->port()));
        }
        const int expected = static_cast<int>(batch.size());
        ASSERT_TRUE(waitUntil([&] { return served_->server().userCount() == expected; }, 5000));
        batch.clear();
        ASSERT_TRUE(waitUntil([&] { return served_->server().userCount() == 0; }, 5000));
    }
    TestClient late;
    ASSERT_FALSE(connectAndJoin(late, served_->port(), "late").empty());
    ASSERT_EQ(served_->server().userNames().size(), 1u);
    EXPECT_GT(served_->server().userNames().begin()->first, 1000);

    (void)exchange(late, "GetAlbums", "3");
    EXPECT_EQ(payloads(exchange(late, "PlayAlbumTrack", "2"), "^Error"),
              Names{"Track [beta_loose] Added to playlist"});
}

TEST_F(BrowseTest, TheFiftiethTrackIsQueuedAndTheNextRefused) {
    TestClient client;
    ASSERT_FALSE(connectAndJoin(client, served_->port(), "filler").empty());
    (void)exchange(client, "GetAlbums", "2");
    for (int i = 1; i < 50; ++i) {
        ASSERT_EQ(countNamed(exchange(client, "PlayAlbumTrack", "2"), "^AddTrack"), 1) << i;
    }
    const auto fiftieth = exchange(client, "PlayAlbumTrack", "2");
    EXPECT_EQ(payloads(fiftieth, "^Error"), Names{"Track [Loose One] Added to playlist"});
    EXPECT_EQ(payloads(fiftieth, "^NumTracks"), Names{"50"});

    const auto refused = exchange(client, "PlayAlbumTrack", "2");
    EXPECT_EQ(payloads(refused, "^Error"), Names{"Cannot play track: Playlist is full"});
    EXPECT_EQ(countNamed(refused, "^AddTrack"), 0);
    EXPECT_EQ(payloads(refused, "^NumTracks"), Names{"50"});
    EXPECT_EQ(served_->server().playlist().count(), 50);
}

TEST_F(BrowseTest, AFileThatCannotBeOpenedIsReportedWithItsNameAndNotQueued) {
    TestClient client;
    ASSERT_FALSE(connectAndJoin(client, served_->port(), "u").empty());
    EXPECT_EQ(payloads(exchange(client, "GetAlbums", "4"), "^AddAlbumTracks"), Names{"broken.mp3"});
    const auto replies = exchange(client, "PlayAlbumTrack", "2");
    EXPECT_EQ(payloads(replies, "^Error"), Names{"Cannot play track: broken - File may use DRM"});
    EXPECT_EQ(countNamed(replies, "^AddTrack"), 0);
    EXPECT_EQ(served_->server().playlist().count(), 0);
}

TEST_F(BrowseTest, NumbersThatAddressNoListedItemAreAnsweredWithAnError) {
    TestClient client;
    ASSERT_FALSE(connectAndJoin(client, served_->port(), "probe").empty());
    const auto errorOf = [&](std::string_view command, std::string_view argument) {
        const auto replies = exchange(client, command, argument);
        EXPECT_EQ(countNamed(replies, "^AddAlbum") + countNamed(replies, "^AddAlbumTracks") +
                      countNamed(replies, "^AddTrack"),
                  0)
            << command << " " << argument;
        const auto errors = payloads(replies, "^Error");
        return errors.size() == 1 ? errors.front() : std::string("<no single error>");
    };

    // Nothing chosen yet: slot 0 is never an artist.
    EXPECT_EQ(errorOf("PlayAlbumTrack", "2"), "Cannot play track: no such track");
    EXPECT_EQ(errorOf("GetAlbumTracks", "2"), "Cannot list tracks: no such artist");

    for (const std::string_view artist : {"1", "0", "-3", "5", "99999999999", "x"}) {
        EXPECT_EQ(errorOf("GetAlbums", artist), "Cannot list albums: no such artist") << artist;
    }
    EXPECT_EQ(errorOf("PlayAlbumTrack", "2"), "Cannot play track: no such track");

    // alpha has two albums (numbers 2 and 3); 4 would be Beta's album.
    (void)exchange(client, "GetAlbums", "2");
    for (const std::string_view album : {"4", "0", "-1"}) {
        EXPECT_EQ(errorOf("GetAlbumTracks", album), "Cannot list tracks: no such album") << album;
    }
    EXPECT_EQ(errorOf("PlayAlbumTrack", "2"), "Cannot play track: no such track");

    // An album of two tracks: 4 would be the next album's first track.
    const auto albums = payloads(exchange(client, "GetAlbums", "2"), "^AddAlbum");
    (void)exchange(client, "GetAlbumTracks", numberOf(albums, "First Album"));
    for (const std::string_view track : {"4", "1", "0", "-2147483648"}) {
        EXPECT_EQ(errorOf("PlayAlbumTrack", track), "Cannot play track: no such track") << track;
    }
    // Loose tracks: alpha has one, so 3 is out of range.
    (void)exchange(client, "GetAlbumTracks", "1");
    EXPECT_EQ(errorOf("PlayAlbumTrack", "3"), "Cannot play track: no such track");

    // Gamma has no album at all.
    (void)exchange(client, "GetAlbums", "4");
    EXPECT_EQ(errorOf("GetAlbumTracks", "2"), "Cannot list tracks: no such album");
    EXPECT_EQ(served_->server().playlist().count(), 0);
}

} // namespace
} // namespace tembrel::test
