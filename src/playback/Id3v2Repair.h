// ID3v2.3 tags with an extended header, rewritten so TagLib reads their
// frames. TagLib 1.13 takes the v2.3 extended header's size as if it were
// the v2.4 one (synchsafe, counting itself), lands inside the header and
// loses every frame; taggers on Windows write such tags.
#pragma once

#include <optional>
#include <string>

#include <tbytevector.h>

namespace tembrel::playback {

// The ID3v2 tag at the front of `path` without its extended header (and with
// a whole-tag unsynchronisation undone), when it is a v2.3 tag that has one;
// nothing otherwise.
[[nodiscard]] std::optional<TagLib::ByteVector> repairedId3v23Tag(const std::string& path);

} // namespace tembrel::playback
