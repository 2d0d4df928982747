// Serialises the client's JSON values.
#include "Json.h"

#include <cstdio>

namespace tembrel::client {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence starting at text[i], or 0 when the bytes
// there are not one (overlong forms, surrogates and values past U+10FFFF
// included).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) noexcept {
    const auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(text[i + k]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0) {
                out += kReplacementCharacter;
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

Json& Json::set(std::string_view key, Json value) {
    auto& members = std::get<Object>(value_);
    for (auto& [name, member] : members) {
        if (name == key) {
            member = std::move(value);
            return *this;
        }
    }
    members.emplace_back(std::string(key), std::move(value));
    return *this;
}

Json& Json::push(Json value) {
    std::get<Array>(value_).push_back(std::move(value));
    return *this;
}

std::string Json::dump() const {
    std::string out;
    dumpTo(out);
    return out;
}

void Json::dumpTo(std::string& out) const {
    if (std::holds_alternative<std::nullptr_t>(value_)) {
        out += "null";
    } else if (const auto* flag = std::get_if<bool>(&value_)) {
        out += *flag ? "true" : "false";
    } else if (const auto* number = std::get_if<std::int64_t>(&value_)) {
        out += std::to_string(*number);
    } else if (const auto* text = std::get_if<std::string>(&value_)) {
        appendJsonString(out, *text);
    } else if (const auto* elements = std::get_if<Array>(&value_)) {
        out += '[';
        for (std::size_t i = 0; i < elements->size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            (*elements)[i].dumpTo(out);
        }
        out += ']';
    } else {
        const auto& members = std::get<Object>(value_);
        out += '{';
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            appendJsonString(out, members[i].first);
            out += ':';
            members[i].second.dumpTo(out);
        }
        out += '}';
    }
}

} // namespace tembrel::client
