// A one-line progress bar on standard error, drawn only on a terminal.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace tembrel::client {

// "name [#########-----------]  45%", `width` characters between the brackets.
[[nodiscard]] std::string progressLine(const std::string& label, std::uint64_t done,
                                       std::uint64_t total, int width);

class ProgressBar {
public:
    // Draws nothing unless `enabled` (a terminal, no --json).
    ProgressBar(std::ostream& out, bool enabled, std::string label) noexcept
        : out_(out), enabled_(enabled), label_(std::move(label)) {}
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::uint64_t done, std::uint64_t total);

private:
    std::ostream& out_;
    bool enabled_;
    std::string label_;
    int lastPercent_ = -1;
};

} // namespace tembrel::client
