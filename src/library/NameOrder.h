// The order albums and tracks are listed in: by name ignoring letter case
// (any script, as a file manager sorts), names equal but for case by their
// bytes, so the order never depends on the file system's listing order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tembrel::library {

[[nodiscard]] bool nameBefore(std::string_view a, std::string_view b);

void sortNames(std::vector<std::string>& names);

} // namespace tembrel::library
