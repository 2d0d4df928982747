// Seek argument parsing.
#include "SeekPlan.h"

#include "Text.h"

namespace tembrel::client {

namespace {

constexpr int kMaxPercent = 100;

} // namespace

std::optional<SeekPlan> planSeek(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text[0] == '+' || text[0] == '-') {
        const auto seconds = parseUnsigned(text.substr(1));
        if (!seconds || *seconds < 1 || *seconds > kMaxRelativeSeekSeconds) {
            return std::nullopt;
        }
        const int steps = static_cast<int>((*seconds + kSeekStepSeconds - 1) / kSeekStepSeconds);
        return SeekPlan{text[0] == '+' ? protocol::Command::SeekForward
                                       : protocol::Command::SeekBack,
                        "", steps};
    }
    if (text.back() == '%') {
        text.remove_suffix(1);
    }
    const auto percent = parseUnsigned(text);
    if (!percent || *percent > kMaxPercent) {
        return std::nullopt;
    }
    return SeekPlan{protocol::Command::SetTime,
                    std::to_string(*percent * protocol::kSeekSliderEnd / kMaxPercent), 1};
}

} // namespace tembrel::client
