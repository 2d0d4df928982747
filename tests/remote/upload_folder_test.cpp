// Uploads stay inside their folder whatever path the client names, and
// chunks are appended in order with the zero fill the length asks for.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "remote/UploadFolder.h"
#include "remote/UploadSessions.h"
#include "support/AudioFixtures.h"

namespace tembrel::remote {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(UploadFolder, UsesOnlyTheLastComponentOfEitherSeparator) {
    EXPECT_EQ(UploadFolder::fileNameOf("C:\\Music\\Artist\\song.mp3"), "song.mp3");
    EXPECT_EQ(UploadFolder::fileNameOf("/home/u/song.mp3"), "song.mp3");
    EXPECT_EQ(UploadFolder::fileNameOf("../x"), "x");
    EXPECT_EQ(UploadFolder::fileNameOf("..\\..\\x"), "x");
    EXPECT_EQ(UploadFolder::fileNameOf("mixed/dir\\name.wma"), "name.wma");
    EXPECT_EQ(UploadFolder::fileNameOf("plain.mp3"), "plain.mp3");
}

TEST(UploadFolder, RefusesNamesThatAreNoFile) {
    for (const std::string_view refused :
         {"", ".", "..", "dir/", "dir\\", "a/..", "a\\.", "C:\\Music\\..", "/"}) {
        EXPECT_FALSE(UploadFolder::fileNameOf(refused)) << refused;
    }
    EXPECT_FALSE(UploadFolder::fileNameOf(std::string_view("a\0b", 3)));
    EXPECT_FALSE(UploadFolder::fileNameOf("song.mp3.part"));
    EXPECT_FALSE(UploadFolder::fileNameOf(std::string(UploadFolder::kMaxNameBytes + 1, 'n')));
    EXPECT_TRUE(UploadFolder::fileNameOf(std::string(UploadFolder::kMaxNameBytes, 'n')));
}

const auto kNoneTaken = [](const std::string&) {
    return false;
};

TEST(UploadFolder, WritesAFreshUnfinishedFileAndNumbersTakenNames) {
    test::TempDir temp;
    const UploadFolder uploads(temp.path() / "a" / "b");
    auto first = uploads.createFresh("C:\\elsewhere\\song.mp3", kNoneTaken);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, "song.mp3");
    ASSERT_TRUE(first->file.append(bytesOf("12345"), 3));
    ASSERT_TRUE(first->file.append({}, 70'000));
    const std::string content = readAll(uploads.folder() / "song.mp3.part");
    ASSERT_EQ(content.size(), 8u + 70'000u);
    EXPECT_EQ(content.substr(0, 8), std::string("12345\0\0\0", 8));
    EXPECT_EQ(content.find_first_not_of('\0', 5), std::string::npos);

    // Taken while unfinished, by name or by another open upload.
    auto second = uploads.createFresh("song.mp3", kNoneTaken);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->name, "song (2).mp3");
    auto third = uploads.createFresh(
        "song.mp3", [](const std::string& name) { return name == "song (3).mp3"; });
    ASSERT_TRUE(third);
    EXPECT_EQ(third->name, "song (4).mp3");

    ASSERT_TRUE(uploads.finish("song.mp3"));
    EXPECT_EQ(readAll(uploads.folder() / "song.mp3").size(), 70'008u);
    EXPECT_EQ(uploads.removeLeftovers(), 2u);
    EXPECT_TRUE(fs::exists(uploads.folder() / "song.mp3"));
    EXPECT_EQ(uploads.usedBytes(), 70'008u);
    // A listing is bounded: a folder with more entries is not counted.
    ASSERT_TRUE(test::writeFile(uploads.folder() / "by hand.bin", "12"));
    EXPECT_EQ(uploads.usedBytes(2), 70'010u);
    EXPECT_FALSE(uploads.usedBytes(1));
}

TEST(UploadFolder, NeverWritesThroughALinkOrIntoAFolder) {
    test::TempDir temp;
    const fs::path outside = temp.path() / "outside.txt";
    ASSERT_TRUE(test::writeFile(outside, "keep"));
    const UploadFolder uploads(temp.path() / "uploads");
    fs::create_directories(uploads.folder() / "taken.part");
    fs::create_symlink(outside, uploads.folder() / "link.part");
    fs::create_hard_link(outside, uploads.folder() / "hard.part");

    for (const std::string_view name : {"link", "taken", "hard"}) {
        auto created = uploads.createFresh(name, kNoneTaken);
        ASSERT_TRUE(created) << name;
        EXPECT_EQ(created->name, std::string(name) + " (2)");
        ASSERT_TRUE(created->file.append(bytesOf("x"), 0));
    }
    EXPECT_EQ(readAll(outside), "keep");
}

TEST(UploadFolder, WithoutAFolderNothingIsWritten) {
    const UploadFolder uploads{fs::path()};
    EXPECT_FALSE(uploads.resolve("song.mp3"));
    EXPECT_FALSE(uploads.createFresh("song.mp3", kNoneTaken));
    EXPECT_FALSE(fs::exists("song.mp3.part"));
}

TEST(UploadSessions, AnUploadWithNoChunkForTenMinutesIsRemoved) {
    test::TempDir temp;
    UploadSessions sessions(temp.path(), 1024);
    const auto start = UploadSessions::Clock::now();
    sessions.start(7, "slow.mp3", start);
    EXPECT_EQ(
        sessions.storeChunk(7, "slow.mp3", bytesOf("abc"), 3, start + std::chrono::minutes(5)),
        UploadSessions::Stored::Written);
    const fs::path unfinished = temp.path() / "slow.mp3.part";
    EXPECT_EQ(sessions.dropIdle(start + std::chrono::minutes(14)), 0u);
    EXPECT_TRUE(fs::exists(unfinished));
    EXPECT_EQ(sessions.dropIdle(start + std::chrono::minutes(15)), 1u);
    EXPECT_FALSE(fs::exists(unfinished));
    EXPECT_EQ(sessions.openCount(), 0u);
    EXPECT_EQ(sessions.usedBytes(), 0u);
}

} // namespace
} // namespace tembrel::remote
