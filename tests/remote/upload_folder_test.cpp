// Uploads stay inside their folder whatever path the client names, and
// chunks are appended in order with the zero fill the length asks for.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "remote/UploadFolder.h"
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
    EXPECT_FALSE(UploadFolder::fileNameOf(std::string(UploadFolder::kMaxNameBytes + 1, 'n')));
    EXPECT_TRUE(UploadFolder::fileNameOf(std::string(UploadFolder::kMaxNameBytes, 'n')));
}

TEST(UploadFolder, CreatesTheFolderAndEmptiesAnExistingFile) {
    test::TempDir temp;
    const UploadFolder uploads(temp.path() / "a" / "b");
    ASSERT_TRUE(uploads.append("song.mp3", bytesOf("old content"), 0));
    ASSERT_TRUE(uploads.create("C:\\elsewhere\\song.mp3"));
    EXPECT_EQ(readAll(temp.path() / "a" / "b" / "song.mp3"), "");
    ASSERT_TRUE(uploads.append("song.mp3", bytesOf("0123456789"), 0));
    ASSERT_TRUE(uploads.append("song.mp3", bytesOf("abcde"), 0));
    EXPECT_EQ(readAll(temp.path() / "a" / "b" / "song.mp3"), "0123456789abcde");
}

TEST(UploadFolder, ZeroFillsUpToTheRequestedLength) {
    test::TempDir temp;
    const UploadFolder uploads(temp.path());
    ASSERT_TRUE(uploads.create("f"));
    ASSERT_TRUE(uploads.append("f", bytesOf("12345"), 3));
    ASSERT_TRUE(uploads.append("f", {}, 70'000));
    const std::string content = readAll(temp.path() / "f");
    ASSERT_EQ(content.size(), 8u + 70'000u);
    EXPECT_EQ(content.substr(0, 8), std::string("12345\0\0\0", 8));
    EXPECT_EQ(content.find_first_not_of('\0', 5), std::string::npos);
}

TEST(UploadFolder, NeverWritesThroughALinkOrIntoAFolder) {
    test::TempDir temp;
    const fs::path outside = temp.path() / "outside.txt";
    ASSERT_TRUE(test::writeFile(outside, "keep"));
    const UploadFolder uploads(temp.path() / "uploads");
    fs::create_directories(uploads.folder() / "taken");
    fs::create_symlink(outside, uploads.folder() / "link");

    EXPECT_FALSE(uploads.create("link"));
    EXPECT_FALSE(uploads.append("link", bytesOf("x"), 0));
    EXPECT_FALSE(uploads.create("taken"));
    EXPECT_EQ(readAll(outside), "keep");
}

TEST(UploadFolder, WithoutAFolderNothingIsWritten) {
    const UploadFolder uploads{fs::path()};
    EXPECT_FALSE(uploads.resolve("song.mp3"));
    EXPECT_FALSE(uploads.create("song.mp3"));
    EXPECT_FALSE(fs::exists("song.mp3"));
}

} // namespace
} // namespace tembrel::remote
