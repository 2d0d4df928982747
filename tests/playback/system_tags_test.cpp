// The real sound library's tag fields, lengths and open errors on generated
// MP3 and WMA files.
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "playback/SystemSoundLibrary.h"
#include "support/AudioFixtures.h"

namespace tembrel::test {
namespace {

using playback::createSystemSoundLibrary;
using playback::kNoStream;
using playback::OpenPurpose;
using playback::SoundLibrary;
using playback::StreamHandle;

// Lengths of the generated 2-second files as the headers give them (MP3
// headers count the encoder's priming and padding frames).
constexpr int kTwoSecondsMinMs = 1950;
constexpr int kTwoSecondsMaxMs = 2100;

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string bigEndian32(std::size_t value, bool syncSafe) {
    const int shift = syncSafe ? 7 : 8;
    const std::size_t mask = syncSafe ? 0x7f : 0xff;
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(value & mask);
        value >>= shift;
    }
    return out;
}

// An ID3v2.3 tag holding one Latin-1 text frame.
std::string id3v23Tag(std::string_view frameId, std::string_view latin1Text) {
    std::string body(1, '\0');
    body += latin1Text;
    const std::string frame =
        std::string(frameId) + bigEndian32(body.size(), false) + std::string(2, '\0') + body;
    return std::string("ID3\x03\x00\x00", 6) + bigEndian32(frame.size(), true) + frame;
}

// An ID3v1 tag with Latin-1 title and artist.
std::string id3v1Tag(std::string_view title, std::string_view artist) {
    std::string tag = "TAG";
    const auto field = [&tag](std::string_view text, std::size_t size) {
        std::string padded(text.substr(0, size));
        padded.resize(size, '\0');
        tag += padded;
    };
    field(title, 30);
    field(artist, 30);
    field("", 30); // album
    field("", 4);  // year
    field("", 30); // comment
    tag += '\xff'; // no genre
    return tag;
}

class SystemTags : public ::testing::Test {
protected:
    std::filesystem::path mp3(const std::string& name, const ToneSpec& tone) {
        const auto file = dir_.path() / name;
        EXPECT_TRUE(makeMp3(file, tone)) << name;
        return file;
    }

    StreamHandle openInfo(const std::filesystem::path& file) {
        const StreamHandle stream =
            library_->openStream(file.string(), OpenPurpose::InformationOnly);
        EXPECT_NE(stream, kNoStream) << file << " error " << library_->lastError();
        return stream;
    }

    std::vector<playback::TagField> fieldsOfType(StreamHandle stream, int type) {
        std::vector<playback::TagField> out;
        const int count = library_->tagFieldCount(stream).value_or(0);
        for (int i = 0; i < count; ++i) {
            auto field = library_->tagField(stream, i);
            EXPECT_TRUE(field.has_value()) << i;
            if (field && field->type == type) {
                out.push_back(*field);
            }
        }
        return out;
    }

    TempDir dir_;
    std::unique_ptr<SoundLibrary> library_ = createSystemSoundLibrary(playback::AudioOutput::Null);
};

TEST_F(SystemTags, Id3v1OnlyFileGivesType1FieldsAndNoFrames) {
    const auto file = mp3("v1.mp3", {.title = "Song One",
                                     .artist = "The Band",
                                     .album = "First Album",
                                     .tags = TagStyle::Id3v1Only});
    const StreamHandle stream = openInfo(file);
    EXPECT_EQ(library_->findTagField(stream, 1, "TITLE"), "Song One");
    EXPECT_EQ(library_->findTagField(stream, 1, "ARTIST"), "The Band");
    EXPECT_EQ(library_->findTagField(stream, 1, "ALBUM"), "First Album");
    EXPECT_FALSE(library_->findTagField(stream, 1, "AUTHOR").has_value());
    EXPECT_TRUE(fieldsOfType(stream, 2).empty());
    EXPECT_GE(library_->streamLengthMs(stream), kTwoSecondsMinMs);
    EXPECT_LE(library_->streamLengthMs(stream), kTwoSecondsMaxMs);
    EXPECT_TRUE(library_->closeStream(stream));
}

TEST_F(SystemTags, Id3v2FramesCarryTheirEncodingByteBeforeTheText) {
    const auto file = mp3("v2.mp3", {.seconds = 3.0,
                                     .title = "Frame Title",
                                     .artist = "Frame Artist",
                                     .album = "Frame Album",
                                     .tags = TagStyle::Id3v2AndV1});
    const StreamHandle stream = openInfo(file);
    EXPECT_EQ(library_->findTagField(stream, 1, "TITLE"), "Frame Title");
    const auto frames = fieldsOfType(stream, 2);
    std::map<std::string, std::string> byId;
    for (const auto& frame : frames) {
        byId[frame.name] = frame.value;
    }
    ASSERT_TRUE(byId.contains("TIT2"));
    ASSERT_TRUE(byId.contains("TPE1"));
    ASSERT_TRUE(byId.contains("TALB"));
    EXPECT_EQ(byId["TIT2"].substr(0, 12), std::string("\0Frame Title", 12));
    EXPECT_EQ(byId["TPE1"].substr(0, 13), std::string("\0Frame Artist", 13));
    EXPECT_EQ(byId["TALB"].substr(0, 12), std::string("\0Frame Album", 12));
    // The tag reader asks for the frame by its name too.
    EXPECT_EQ(library_->findTagField(stream, 2, "TIT2"), byId["TIT2"]);
    EXPECT_GE(library_->streamLengthMs(stream), 2950);
    EXPECT_LE(library_->streamLengthMs(stream), 3100);
}

TEST_F(SystemTags, Utf16TitleFrameKeepsEncodingByteOne) {
    const auto file =
        mp3("utf16.mp3", {.title = "Wide", .artist = "Plain", .tags = TagStyle::Id3v2Utf16Title});
    const StreamHandle stream = openInfo(file);
    const auto title = library_->findTagField(stream, 2, "TIT2");
    ASSERT_TRUE(title.has_value());
    ASSERT_FALSE(title->empty());
    EXPECT_EQ((*title)[0], '\x01');
    EXPECT_EQ(library_->findTagField(stream, 2, "TPE1").value_or("").substr(0, 6),
              std::string("\0Plain", 6));
    // No ID3v1 tag in this style.
    EXPECT_FALSE(library_->findTagField(stream, 1, "TITLE").has_value());
}

TEST_F(SystemTags, Latin1TextsComeOutAsUtf8) {
    const auto plain = mp3("plain.mp3", {});
    const std::string audio = readAll(plain);
    const auto file = dir_.path() / "latin1.mp3";
    ASSERT_TRUE(
        writeFile(file, id3v23Tag("TIT2", "Caf\xe9") + audio + id3v1Tag("Na\xefve", "Jos\xe9")));
    const StreamHandle stream = openInfo(file);
    EXPECT_EQ(library_->findTagField(stream, 2, "TIT2").value_or("").substr(0, 6),
              std::string("\0Caf\xc3\xa9", 6));
    EXPECT_EQ(library_->findTagField(stream, 1, "TITLE"), "Na\xc3\xafve");
    EXPECT_EQ(library_->findTagField(stream, 1, "ARTIST"), "Jos\xc3\xa9");
    // Empty ID3v1 fields are absent, so they cannot blank out other names.
    EXPECT_FALSE(library_->findTagField(stream, 1, "ALBUM").has_value());
}

TEST_F(SystemTags, WmaGivesContentDescriptionAndAttributes) {
    const auto file = dir_.path() / "tone.wma";
    ASSERT_TRUE(
        makeWma(file, {.title = "Wma Title", .artist = "Wma Author", .album = "Wma Album"}));
    const StreamHandle stream = openInfo(file);
    EXPECT_EQ(library_->findTagField(stream, 1, "TITLE"), "Wma Title");
    EXPECT_EQ(library_->findTagField(stream, 1, "AUTHOR"), "Wma Author");
    EXPECT_EQ(library_->findTagField(stream, 5, "WM/AlbumTitle"), "Wma Album");
    EXPECT_FALSE(library_->findTagField(stream, 1, "ALBUM").has_value());
    EXPECT_GE(library_->streamLengthMs(stream), kTwoSecondsMinMs);
    EXPECT_LE(library_->streamLengthMs(stream), kTwoSecondsMaxMs);
}

TEST_F(SystemTags, UntaggedFileHasLengthButNoFields) {
    const StreamHandle stream = openInfo(mp3("bare.mp3", {.seconds = 1.0}));
    EXPECT_EQ(library_->tagFieldCount(stream), 0);
    EXPECT_FALSE(library_->tagField(stream, 0).has_value());
    EXPECT_GE(library_->streamLengthMs(stream), 950);
    EXPECT_LE(library_->streamLengthMs(stream), 1100);
}

TEST_F(SystemTags, PlaybackStreamsReadTheSameTags) {
    ASSERT_TRUE(library_->init(44100, 32, 0));
    const auto file = mp3("both.mp3", {.title = "Played", .tags = TagStyle::Id3v2AndV1});
    const StreamHandle stream = library_->openStream(file.string(), OpenPurpose::Playback);
    ASSERT_NE(stream, kNoStream) << library_->lastError();
    EXPECT_EQ(library_->findTagField(stream, 1, "TITLE"), "Played");
    EXPECT_EQ(library_->findTagField(stream, 2, "TIT2").value_or("").substr(0, 7),
              std::string("\0Played", 7));
    EXPECT_GE(library_->streamLengthMs(stream), kTwoSecondsMinMs);
    EXPECT_LE(library_->streamLengthMs(stream), kTwoSecondsMaxMs);
}

TEST_F(SystemTags, UnreadableFilesFailWithTheirErrorCodes) {
    ASSERT_TRUE(library_->init(44100, 32, 0));
    const auto garbage = dir_.path() / "garbage.mp3";
    std::string noise(8192, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    }
    ASSERT_TRUE(writeFile(garbage, noise));
    const auto text = dir_.path() / "notes.wma";
    ASSERT_TRUE(writeFile(text, "just some words, no audio at all\n"));
    const auto missing = dir_.path() / "missing.mp3";

    for (const OpenPurpose purpose : {OpenPurpose::InformationOnly, OpenPurpose::Playback}) {
        for (const auto& file : {garbage, text}) {
            EXPECT_EQ(library_->openStream(file.string(), purpose), kNoStream) << file;
            EXPECT_TRUE(library_->lastError() == playback::kErrFileFormat ||
                        library_->lastError() == playback::kErrFileBad)
                << file << " error " << library_->lastError();
        }
        EXPECT_EQ(library_->openStream(missing.string(), purpose), kNoStream);
        EXPECT_EQ(library_->lastError(), playback::kErrFileNotFound);
        EXPECT_EQ(library_->openStream(dir_.path().string(), purpose), kNoStream);
        EXPECT_EQ(library_->lastError(), playback::kErrFileBad);
    }
}

TEST_F(SystemTags, CallsOnUnknownStreamsFailWithInvalidParameter) {
    EXPECT_FALSE(library_->tagFieldCount(42).has_value());
    EXPECT_EQ(library_->lastError(), playback::kErrInvalidParam);
    EXPECT_FALSE(library_->closeStream(42));
    EXPECT_EQ(library_->streamLengthMs(42), 0);
    EXPECT_EQ(library_->streamTime(kNoStream), 0);
}

TEST_F(SystemTags, PlaybackNeedsAnInitialisedLibrary) {
    const auto file = mp3("early.mp3", {.seconds = 0.5});
    EXPECT_EQ(library_->openStream(file.string(), OpenPurpose::Playback), kNoStream);
    EXPECT_EQ(library_->lastError(), playback::kErrUninitialized);
    // Reading tags and length does not need the output.
    EXPECT_NE(library_->openStream(file.string(), OpenPurpose::InformationOnly), kNoStream);
}

} // namespace
} // namespace tembrel::test
