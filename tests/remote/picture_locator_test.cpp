// Finding "Folder.jpg" next to a playlist entry's file, in any letter case,
// and reading it whole within a size limit.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "remote/PictureLocator.h"
#include "support/AudioFixtures.h"

namespace tembrel::remote {
namespace {

namespace fs = std::filesystem;

TEST(PictureLocator, FolderIsThePathBeforeItsLastSeparator) {
    EXPECT_EQ(folderOfEntry("D:\\Music\\A\\B\\song.mp3"), "D:\\Music\\A\\B");
    EXPECT_EQ(folderOfEntry("/music/A/B/song.mp3"), "/music/A/B");
    EXPECT_EQ(folderOfEntry("/music/A\\B/x\\song.mp3"), "/music/A\\B/x");
    EXPECT_EQ(folderOfEntry("/song.mp3"), "");
    EXPECT_FALSE(folderOfEntry("song.mp3"));
    EXPECT_FALSE(folderOfEntry(""));
}

TEST(PictureLocator, PrefersTheExactNameThenAnyLetterCase) {
    test::TempDir temp;
    const fs::path album = temp.path() / "Artist" / "Album";
    fs::create_directories(album);
    const std::string entry = (album / "song.mp3").string();
    EXPECT_FALSE(locatePicture(entry));

    ASSERT_TRUE(test::writeFile(album / "FOLDER.JPG", "upper"));
    EXPECT_EQ(locatePicture(entry), album / "FOLDER.JPG");
    ASSERT_TRUE(test::writeFile(album / "folder.jpg", "lower"));
    EXPECT_EQ(locatePicture(entry), album / "FOLDER.JPG"); // first in byte order
    ASSERT_TRUE(test::writeFile(album / "Folder.jpg", "exact"));
    EXPECT_EQ(locatePicture(entry), album / "Folder.jpg");
}

TEST(PictureLocator, RefusesAPictureLinkedFromOutsideTheAlbum) {
    test::TempDir temp;
    const fs::path album = temp.path() / "Album";
    fs::create_directories(album);
    ASSERT_TRUE(test::writeFile(temp.path() / "secret", "outside"));
    fs::create_symlink(temp.path() / "secret", album / "Folder.jpg");
    const std::string entry = (album / "song.mp3").string();
    EXPECT_FALSE(locatePicture(entry));
    // A link to a picture in the same folder is still found.
    ASSERT_TRUE(test::writeFile(album / "cover.jpg", "inside"));
    fs::create_symlink(album / "cover.jpg", album / "folder.JPG");
    EXPECT_EQ(locatePicture(entry), album / "folder.JPG");
}

TEST(PictureLocator, IgnoresFoldersAndOtherNames) {
    test::TempDir temp;
    fs::create_directories(temp.path() / "folder.JPG");
    ASSERT_TRUE(test::writeFile(temp.path() / "folder.jpeg", "x"));
    ASSERT_TRUE(test::writeFile(temp.path() / "Folder.jpg.bak", "x"));
    EXPECT_FALSE(locatePicture((temp.path() / "song.mp3").string()));
    EXPECT_FALSE(locatePicture((temp.path() / "missing" / "song.mp3").string()));
}

TEST(PictureLocator, ReadsTheWholeFileWithinTheLimit) {
    test::TempDir temp;
    std::string content(5000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 31);
    }
    const fs::path picture = temp.path() / "Folder.jpg";
    ASSERT_TRUE(test::writeFile(picture, content));

    const auto bytes = readPicture(picture, content.size());
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), content);
    EXPECT_FALSE(readPicture(picture, content.size() - 1));
    EXPECT_FALSE(readPicture(temp.path() / "absent.jpg", 1 << 20));
    EXPECT_FALSE(readPicture(temp.path(), 1 << 20));

    ASSERT_TRUE(test::writeFile(temp.path() / "empty.jpg", ""));
    const auto empty = readPicture(temp.path() / "empty.jpg", 10);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

} // namespace
} // namespace tembrel::remote
