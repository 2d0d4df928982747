// Finding an item of a listing (artists, albums, tracks) from what the user
// typed: a name or the number the listing shows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tembrel::client {

enum class NameMatch {
    Exact,         // the whole name
    ExtensionFree, // also the file name without its extension (tracks)
};

// The index of the item `typed` names. Names win over numbers (an album
// called "1999" is found by "1999"), an exact-case match wins over others;
// a number counts from 1 in listing order.
[[nodiscard]] std::optional<std::size_t> findListed(const std::vector<std::string>& items,
                                                    std::string_view typed,
                                                    NameMatch match = NameMatch::Exact);

// Items numbered from 1, one per line, indented.
[[nodiscard]] std::string numberedLines(const std::vector<std::string>& items);

} // namespace tembrel::client
