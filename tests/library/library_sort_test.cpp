// Artist order after a scan: names compared byte by byte with only A to Z
// folded, equal names keeping the order in which they were found.
#include <gtest/gtest.h>

#include "LibraryTree.h"
#include "library/ArtistOrder.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;
using Names = std::vector<std::string>;

Names artistNames(const CMediaLibrary& library) {
    Names names;
    for (int slot = 1; slot < library.nextArtistSlot(); ++slot) {
        names.push_back(library.artist(slot).name);
    }
    return names;
}

TEST(LibrarySort, NamesAreOrderedIgnoringTheCaseOfAToZ) {
    LibraryTree tree;
    for (const char* name : {"Gamma", "Beta", "alpha", "Zed", "_x", "ab", "a", "\xC3\x89mile"}) {
        tree.folder(std::string("music/") + name);
    }
    CMediaLibrary library;
    library.buildLibrary({tree.path("music"), "", "", "", ""});

    // "_" sorts before every letter only once letters are folded to lower
    // case; the UTF-8 lead byte of "Émile" is above every ASCII byte.
    EXPECT_EQ(artistNames(library),
              (Names{"_x", "a", "ab", "alpha", "Beta", "Gamma", "Zed", "\xC3\x89mile"}));
}

TEST(LibrarySort, EqualNamesKeepTheOrderOfTheLocations) {
    LibraryTree tree;
    tree.folder("one/Zzz");
    tree.folder("one/Band");
    tree.folder("two/BAND");
    tree.folder("three/band");
    tree.folder("three/Aaa");
    CMediaLibrary library;
    library.buildLibrary({tree.path("one"), tree.path("two"), tree.path("three"), "", ""});

    ASSERT_EQ(artistNames(library), (Names{"Aaa", "Band", "BAND", "band", "Zzz"}));
    // Each name keeps its own Location.
    EXPECT_EQ(library.artist(1).location, tree.path("three"));
    EXPECT_EQ(library.artist(2).location, tree.path("one"));
    EXPECT_EQ(library.artist(3).location, tree.path("two"));
    EXPECT_EQ(library.artist(4).location, tree.path("three"));
    EXPECT_EQ(library.artist(5).location, tree.path("one"));
}

TEST(ArtistOrder, ComparesFoldedBytesAsUnsigned) {
    EXPECT_TRUE(library::artistNameBefore("abc", "ABD"));
    EXPECT_FALSE(library::artistNameBefore("ABC", "abc"));
    EXPECT_FALSE(library::artistNameBefore("abc", "ABC"));
    EXPECT_TRUE(library::artistNameBefore("AB", "abc"));
    EXPECT_TRUE(library::artistNameBefore("[", "a")); // '[' lies between 'Z' and 'a'
    EXPECT_TRUE(library::artistNameBefore("z", "\xE2\x80\x94"));
}

} // namespace
} // namespace tembrel::test
