// A tiny JSON value for the client's --json output: objects keep their keys in
// insertion order, strings are escaped and made valid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tembrel::client {

class Json {
public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;

    Json() noexcept = default; // null
    Json(bool value) noexcept : value_(value) {}
    Json(int value) noexcept : value_(std::int64_t{value}) {}
    Json(std::int64_t value) noexcept : value_(value) {}
    Json(std::string value) : value_(std::move(value)) {}
    Json(std::string_view value) : value_(std::string(value)) {}
    Json(const char* value) : value_(std::string(value)) {}

    [[nodiscard]] static Json array() { return Json(Array{}); }
    [[nodiscard]] static Json object() { return Json(Object{}); }

    // On an object: adds (or replaces) a member. Returns *this for chaining.
    Json& set(std::string_view key, Json value);
    // On an array: appends an element.
    Json& push(Json value);

    [[nodiscard]] std::string dump() const;

private:
    explicit Json(Array value) : value_(std::move(value)) {}
    explicit Json(Object value) : value_(std::move(value)) {}
    void dumpTo(std::string& out) const;

    std::variant<std::nullptr_t, bool, std::int64_t, std::string, Array, Object> value_ = nullptr;
};

// Appends `text` as a quoted JSON string. Control characters are escaped and
// bytes that are not valid UTF-8 become U+FFFD, so the output always parses.
void appendJsonString(std::string& out, std::string_view text);

} // namespace tembrel::client
