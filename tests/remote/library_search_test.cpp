// The Search command's listing over the demo library: matches of every kind,
// case-insensitively, with numbers that browse and queue exactly the match.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "library/CMediaLibrary.h"
#include "remote/BrowseSelection.h"
#include "remote/LibrarySearch.h"

namespace tembrel::remote {
namespace {

std::vector<std::string> lines(const std::string& payload) {
    std::vector<std::string> result;
    std::istringstream in(payload);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\\');) {
        result.push_back(field);
    }
    if (!line.empty() && line.back() == '\\') {
        result.emplace_back();
    }
    return result;
}

class LibrarySearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto demo = std::filesystem::path(TEMBREL_SOURCE_DIR) / "demo" / "music";
        library_.buildLibrary({demo.string(), "", "", "", ""});
        ASSERT_GT(library_.trackTotal(), 0);
    }
    library::CMediaLibrary library_;
};

TEST_F(LibrarySearchTest, ListsEveryKindWithNumbersThatReachTheMatch) {
    const std::vector<std::string> found = lines(searchLibrary(library_, "  LIGHT "));
    ASSERT_EQ(found.size(), 3U) << searchLibrary(library_, "light");
    EXPECT_EQ(found[0], "2\\0");

    const auto album = fields(found[1]);
    ASSERT_EQ(album.size(), 5U) << found[1];
    EXPECT_EQ(album[0], "album");
    EXPECT_EQ(album[3], "Aurora Vale");
    EXPECT_EQ(album[4], "Northern Lights");
    const auto tracks = tracksOfChoice(library_, std::stoi(album[1]) - 1, std::stoi(album[2]) - 1);
    ASSERT_TRUE(tracks);
    EXPECT_EQ(tracks->count, 3);

    const auto track = fields(found[2]);
    ASSERT_EQ(track.size(), 7U) << found[2];
    EXPECT_EQ(track[0], "track");
    EXPECT_EQ(track[2], "1") << "a loose track";
    EXPECT_EQ(track[5], "");
    EXPECT_EQ(track[6], "Lighthouse.mp3");
    const auto path = selectedTrackPath(library_, std::stoi(track[1]) - 1, std::stoi(track[2]) - 1,
                                        std::stoi(track[3]));
    ASSERT_TRUE(path);
    EXPECT_TRUE(path->ends_with("/Aurora Vale/Lighthouse.mp3")) << *path;
}

TEST_F(LibrarySearchTest, ArtistsAndAlbumTracksAddressTheirOwnSlots) {
    const std::vector<std::string> found = lines(searchLibrary(library_, "o"));
    for (std::size_t i = 1; i < found.size(); ++i) {
        const auto line = fields(found[i]);
        if (line[0] == "artist") {
            EXPECT_EQ(library_.artist(std::stoi(line[1]) - 1).name, line[2]);
        } else if (line[0] == "track") {
            const auto path = selectedTrackPath(library_, std::stoi(line[1]) - 1,
                                                std::stoi(line[2]) - 1, std::stoi(line[3]));
            ASSERT_TRUE(path) << found[i];
            EXPECT_TRUE(path->ends_with("/" + line[6])) << *path;
        }
    }
}

TEST_F(LibrarySearchTest, BoundsTheListAndCountsTheRest) {
    const std::vector<std::string> all = lines(searchLibrary(library_, "o"));
    const int total = static_cast<int>(all.size()) - 1;
    ASSERT_GT(total, 2);
    const std::vector<std::string> two = lines(searchLibrary(library_, "o", 2));
    ASSERT_EQ(two.size(), 3U);
    EXPECT_EQ(two[0], "2\\" + std::to_string(total - 2));
    EXPECT_EQ(two[1], all[1]);
    EXPECT_EQ(searchLibrary(library_, "   "), "0\\0");
    EXPECT_EQ(searchLibrary(library_, "no such name anywhere"), "0\\0");
}

} // namespace
} // namespace tembrel::remote
