// The play queue on the scripted library: appending, the order in which
// entries play with every shuffle and repeat combination, the shuffle pick
// and the advance at the end of a track.
#include <algorithm>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/CPlaylist.h"
#include "support/FakeSoundLibrary.h"

namespace tembrel::playback {
namespace {

using test::FakeSoundLibrary;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kTrackMs = 3000;

class PlaylistTest : public ::testing::Test {
protected:
    PlaylistTest() {
        engine_.setConsoleSink([](std::string_view) {});
        engine_.setNoticeSink(
            [this](std::string_view caption, std::string_view) { notices_.emplace_back(caption); });
        engine_.start();
    }

    static std::string pathOf(int n) {
        return "/music/Artist/Album/track" + std::to_string(n) + ".mp3";
    }

    // Registers and queues track n.
    void add(int n) {
        library_.addFile(pathOf(n), kTrackMs);
        ASSERT_TRUE(playlist_.appendEntry(pathOf(n), pathOf(n)));
    }

    // Registers and queues tracks 0..n-1.
    void queue(int n) {
        for (int i = 0; i < n; ++i) {
            add(i);
        }
    }

    // The tracks opened for playback since the last call, by number.
    std::vector<int> started() {
        std::vector<int> numbers;
        for (const std::string& call : library_.calls()) {
            for (int i = 0; i < CPlaylist::kPlaylistCapacity; ++i) {
                if (call == "open " + pathOf(i) + " playback") {
                    numbers.push_back(i);
                }
            }
        }
        library_.clearCalls();
        return numbers;
    }

    void finishTrack() { library_.advance(kTrackMs); }

    FakeSoundLibrary library_;
    CSoundEngine engine_{library_};
    CTagReader reader_{library_};
    std::time_t now_ = 1;
    CPlaylist playlist_{engine_, reader_, [this] {
                            return now_;
                        }};
    std::vector<std::string> notices_;
};

TEST_F(PlaylistTest, EmptyQueueStartsNothingInAnySwitchCombination) {
    for (int shuffle = 0; shuffle <= 1; ++shuffle) {
        for (int repeat = 0; repeat <= 1; ++repeat) {
            playlist_.setShuffle(shuffle);
            playlist_.setRepeat(repeat);
            playlist_.playNext();
            playlist_.playPrevious();
            EXPECT_EQ(playlist_.pickShuffleIndex(), -1);
        }
    }
    EXPECT_THAT(started(), IsEmpty());
    EXPECT_EQ(playlist_.current(), 0);
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
}

TEST_F(PlaylistTest, AppendStartsOnlyWhenStopped) {
    queue(1);
    EXPECT_THAT(started(), ElementsAre(0));
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
    EXPECT_EQ(playlist_.entry(0).played, 1);

    add(1);
    EXPECT_THAT(started(), IsEmpty());
    engine_.setPlayState(PlayState::Paused);
    add(2);
    EXPECT_THAT(started(), IsEmpty());
    EXPECT_EQ(playlist_.count(), 3);
    EXPECT_EQ(playlist_.current(), 0);

    engine_.setPlayState(PlayState::Stopped);
    add(3);
    EXPECT_THAT(started(), ElementsAre(3));
    EXPECT_EQ(playlist_.current(), 3);
    EXPECT_EQ(playlist_.entry(3).played, 1);
}

TEST_F(PlaylistTest, AppendFillsTheEntryFromTagsAndFolders) {
    library_.addFile(pathOf(7), 185000, {{kTagFieldId3v1, "TITLE", "Seven"}});
    ASSERT_TRUE(playlist_.appendEntry(pathOf(7), pathOf(7)));
    const PlaylistEntry& entry = playlist_.entry(0);
    EXPECT_EQ(entry.path, pathOf(7));
    EXPECT_EQ(entry.title, "Seven");
    EXPECT_EQ(entry.album, "Album");
    EXPECT_EQ(entry.artist, "Artist");
    EXPECT_EQ(entry.length, "3:05");
}

TEST_F(PlaylistTest, FailedAppendRollsBackAndLeavesNoTextsBehind) {
    queue(1);
    started();
    std::string title;
    EXPECT_FALSE(playlist_.appendEntry("/upload/x.mp3", "C:\\Music\\A\\B\\Protected.wma", &title));
    EXPECT_EQ(title, "Protected");
    EXPECT_EQ(playlist_.count(), 1);
    EXPECT_THAT(started(), IsEmpty());

    // The slot is reused; names the new path does not give stay empty.
    library_.addFile("/upload/y.mp3", kTrackMs);
    ASSERT_TRUE(playlist_.appendEntry("/upload/y.mp3", "y.mp3"));
    EXPECT_EQ(playlist_.entry(1).title, "");
    EXPECT_EQ(playlist_.entry(1).album, "");
}

TEST_F(PlaylistTest, QueueHoldsFiftyEntriesAndRefusesMore) {
    queue(CPlaylist::kPlaylistCapacity);
    EXPECT_EQ(playlist_.count(), 50);
    EXPECT_EQ(playlist_.entry(49).path, pathOf(49));
    library_.clearCalls();
    library_.addFile("/music/one-more.mp3", kTrackMs);
    EXPECT_FALSE(playlist_.appendEntry("/music/one-more.mp3", "/music/one-more.mp3"));
    EXPECT_EQ(playlist_.count(), 50);
    EXPECT_THAT(library_.calls(), IsEmpty());
}

TEST_F(PlaylistTest, TracksPlayInOrderAndStopAtTheEndWithoutRepeat) {
    queue(3);
    for (int i = 0; i < 3; ++i) {
        finishTrack();
    }
    EXPECT_THAT(started(), ElementsAre(0, 1, 2));
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
    EXPECT_EQ(playlist_.current(), 2);
    library_.advance(60000);
    EXPECT_THAT(started(), IsEmpty());
}

TEST_F(PlaylistTest, RepeatWrapsToTheHead) {
    queue(3);
    playlist_.setRepeat(1);
    for (int i = 0; i < 4; ++i) {
        finishTrack();
    }
    EXPECT_THAT(started(), ElementsAre(0, 1, 2, 0, 1));
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
}

TEST_F(PlaylistTest, SingleEntryRestartsOnlyWithRepeat) {
    queue(1);
    playlist_.setRepeat(1);
    finishTrack();
    finishTrack();
    EXPECT_THAT(started(), ElementsAre(0, 0, 0));
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
    playlist_.setRepeat(0);
    finishTrack();
    EXPECT_THAT(started(), IsEmpty());
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
}

TEST_F(PlaylistTest, NextAtTheLastEntryLeavesPlaybackAlone) {
    queue(2);
    playlist_.playNext();
    const StreamHandle playing = engine_.stream();
    started();
    playlist_.playNext();
    EXPECT_THAT(started(), IsEmpty());
    EXPECT_EQ(engine_.stream(), playing);
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
    EXPECT_EQ(playlist_.current(), 1);
}

TEST_F(PlaylistTest, PreviousStepsBackAndRestartsTheHeadOnlyWithRepeat) {
    queue(3);
    playlist_.playEntry(2);
    started();
    playlist_.playPrevious();
    playlist_.playPrevious();
    EXPECT_THAT(started(), ElementsAre(1, 0));
    playlist_.playPrevious();
    EXPECT_THAT(started(), IsEmpty());
    playlist_.setRepeat(1);
    playlist_.playPrevious();
    EXPECT_THAT(started(), ElementsAre(0)); // no wrap to the last entry
    EXPECT_EQ(playlist_.current(), 0);
}

TEST_F(PlaylistTest, EntryOutsideTheTableIsIgnored) {
    queue(2);
    started();
    playlist_.playEntry(-1);
    playlist_.playEntry(CPlaylist::kPlaylistCapacity);
    EXPECT_THAT(library_.calls(), IsEmpty());
    EXPECT_EQ(playlist_.current(), 0);
}

TEST_F(PlaylistTest, FailingFileStillBecomesCurrentAndPlayed) {
    queue(3);
    library_.removeFile(pathOf(1));
    finishTrack();
    EXPECT_THAT(notices_, ElementsAre("Loading a song"));
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
    EXPECT_EQ(playlist_.current(), 1);
    EXPECT_EQ(playlist_.entry(1).played, 1);
    // The next command carries on from the failed entry.
    playlist_.playNext();
    EXPECT_EQ(playlist_.current(), 2);
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
}

TEST_F(PlaylistTest, ShuffleDrawMatchesTheClassicGeneratorSeededFromTheClock) {
    queue(5);
    // Seeded with 1 the generator yields 41 (discarded), then 18467:
    // 18467 * 4 / 32767 = 2, the third of the unplayed entries 1..4.
    now_ = 1;
    EXPECT_EQ(playlist_.pickShuffleIndex(), 3);
    // Within the same second every pick draws alike.
    EXPECT_EQ(playlist_.pickShuffleIndex(), 3);
}

TEST_F(PlaylistTest, ShuffleDrawOfTheTopValueTakesTheLastCandidate) {
    // A clock value whose second draw is 32767, the one draw that would
    // point past the candidates.
    std::time_t seed = 0;
    for (;; ++seed) {
        ShuffleRandom random;
        random.seed(static_cast<std::uint32_t>(seed));
        (void)random.next();
        if (random.next() == ShuffleRandom::kMaxDraw) {
            break;
        }
    }
    queue(4);
    now_ = seed;
    EXPECT_EQ(playlist_.pickShuffleIndex(), 3);
}

TEST_F(PlaylistTest, ShufflePlaysEachUnplayedEntryOnceThenStopsWithoutRepeat) {
    queue(6);
    playlist_.playNext(); // entries 0 and 1 played in order
    playlist_.setShuffle(1);
    started();
    for (int i = 0; i < 6; ++i) {
        ++now_;
        finishTrack();
    }
    const std::vector<int> order = started();
    EXPECT_EQ(std::set<int>(order.begin(), order.end()), (std::set<int>{2, 3, 4, 5}));
    EXPECT_EQ(order.size(), 4u);
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
}

TEST_F(PlaylistTest, ShuffleWithRepeatStartsOverWhenEverythingPlayed) {
    queue(3);
    playlist_.setShuffle(1);
    playlist_.setRepeat(1);
    for (int i = 0; i < 12; ++i) {
        ++now_;
        finishTrack();
    }
    const std::vector<int> order = started();
    ASSERT_EQ(order.size(), 13u);
    // Each round of three plays every entry once.
    for (std::size_t round = 0; round + 3 <= order.size(); round += 3) {
        EXPECT_EQ(std::set<int>(order.begin() + round, order.begin() + round + 3),
                  (std::set<int>{0, 1, 2}));
    }
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
}

TEST_F(PlaylistTest, PreviousInShuffleModePicksLikeNext) {
    queue(3);
    playlist_.setShuffle(1);
    started();
    playlist_.playPrevious();
    playlist_.playPrevious();
    const std::vector<int> order = started();
    EXPECT_EQ(std::set<int>(order.begin(), order.end()), (std::set<int>{1, 2}));
    playlist_.playPrevious();
    EXPECT_THAT(started(), IsEmpty());
}

TEST_F(PlaylistTest, SwitchingShuffleOffClearsEveryPlayedMark) {
    playlist_.playEntry(7); // an empty slot: the open fails, the mark is set
    EXPECT_EQ(playlist_.entry(7).played, 1);
    queue(3);
    playlist_.setShuffle(1);
    EXPECT_EQ(playlist_.entry(0).played, 1);
    EXPECT_NE(playlist_.pickShuffleIndex(), 0);
    playlist_.setShuffle(0);
    for (int i = 0; i < CPlaylist::kPlaylistCapacity; ++i) {
        EXPECT_EQ(playlist_.entry(i).played, 0) << i;
    }
    playlist_.setShuffle(1);
    std::set<int> picks;
    for (int i = 0; i < 200 && picks.size() < 3; ++i) {
        ++now_;
        picks.insert(playlist_.pickShuffleIndex());
    }
    EXPECT_EQ(picks, (std::set<int>{0, 1, 2}));
}

TEST(PlaylistLifetime, EndOfTrackAfterTheQueueIsGoneIsHarmless) {
    FakeSoundLibrary library;
    library.addFile("/a.mp3", 1000);
    CSoundEngine engine(library);
    engine.setConsoleSink([](std::string_view) {});
    engine.start();
    CTagReader reader(library);
    {
        CPlaylist playlist(engine, reader);
        ASSERT_TRUE(playlist.appendEntry("/a.mp3", "/a.mp3"));
    }
    library.advance(2000);
    EXPECT_EQ(engine.playState(), PlayState::Playing);
}

} // namespace
} // namespace tembrel::playback
