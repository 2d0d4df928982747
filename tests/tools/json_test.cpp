// The JSON writer: output must always parse, whatever bytes the server's
// texts carry.
#include <gtest/gtest.h>

#include "Json.h"

namespace tembrel::client {
namespace {

std::string quoted(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

TEST(Json, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(quoted("say \"hi\""), R"("say \"hi\"")");
    EXPECT_EQ(quoted("Artist\\Title\\3:07"), R"("Artist\\Title\\3:07")");
    EXPECT_EQ(quoted("a\nb\tc\rd"), R"("a\nb\tc\rd")");
    EXPECT_EQ(quoted(std::string_view("\x01\x1f\x7f", 3)), R"("\u0001\u001f\u007f")");
    EXPECT_EQ(quoted(std::string_view("a\0b", 3)), R"("a\u0000b")");
}

TEST(Json, KeepsValidUtf8AndReplacesInvalidBytes) {
    EXPECT_EQ(quoted("Caf\xC3\xA9 \xE2\x96\x87 \xF0\x9F\x8E\xB5"),
              "\"Caf\xC3\xA9 \xE2\x96\x87 \xF0\x9F\x8E\xB5\"");
    // A Latin-1 e-acute, a lone continuation byte, a truncated sequence at the
    // end, an overlong slash and a UTF-16 surrogate: each becomes U+FFFD.
    EXPECT_EQ(quoted("Caf\xE9"), "\"Caf\xEF\xBF\xBD\"");
    EXPECT_EQ(quoted("\x80x"), "\"\xEF\xBF\xBDx\"");
    EXPECT_EQ(quoted("x\xE2\x96"), "\"x\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(quoted("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(quoted("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(Json, BuildsNestedValuesInInsertionOrder) {
    Json list = Json::array();
    list.push(1).push("two").push(Json()).push(false);
    Json root = Json::object();
    root.set("b", 1).set("a", std::move(list)).set("b", "replaced");
    EXPECT_EQ(root.dump(), R"({"b":"replaced","a":[1,"two",null,false]})");
    EXPECT_EQ(Json::object().dump(), "{}");
    EXPECT_EQ(Json(std::int64_t{-5000000000}).dump(), "-5000000000");
}

} // namespace
} // namespace tembrel::client
