// Listing lookup and numbering.
#include "Listing.h"

#include "Text.h"

namespace tembrel::client {

namespace {

std::string_view withoutExtension(std::string_view name) noexcept {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

std::optional<std::size_t> findListed(const std::vector<std::string>& items, std::string_view typed,
                                      NameMatch match) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == typed) {
            return i;
        }
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (equalsIgnoreCase(items[i], typed)) {
            return i;
        }
    }
    if (match == NameMatch::ExtensionFree) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (equalsIgnoreCase(withoutExtension(items[i]), typed)) {
                return i;
            }
        }
    }
    if (const auto number = parseUnsigned(typed);
        number && *number >= 1 && static_cast<std::size_t>(*number) <= items.size()) {
        return static_cast<std::size_t>(*number - 1);
    }
    return std::nullopt;
}

std::string numberedLines(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += "  " + std::to_string(i + 1) + ". " + items[i] + "\n";
    }
    return text;
}

} // namespace tembrel::client
