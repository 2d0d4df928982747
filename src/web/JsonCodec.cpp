// Writing and strict reading of the JSON form of protocol messages.
#include "web/JsonCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVariant>

#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "protocol/ValueLayout.h"
#include "web/Base64.h"

namespace tembrel::web {

namespace {

using net::CNDKValue;
using net::ValueType;

const QString kIdKey = QStringLiteral("id");
const QString kValuesKey = QStringLiteral("values");
const QString kTypeKey = QStringLiteral("type");
const QString kValueKey = QStringLiteral("value");
const QString kBase64Key = QStringLiteral("base64");

// Width on the wire of codes the table does not name.
constexpr std::size_t kUnnamedScalarBytes = 8;

// How a type's scalar is written: its width and whether it is signed.
struct ScalarForm {
    std::size_t bytes = 0;
    bool isSigned = false;
};

[[nodiscard]] ScalarForm scalarForm(std::uint8_t code) noexcept {
    const auto name = protocol::valueTypeName(static_cast<ValueType>(code));
    if (!name) {
        return {kUnnamedScalarBytes, true};
    }
    const auto bytes = static_cast<std::size_t>(protocol::kValueTypes[code].scalarBytes);
    const bool isSigned =
        code == static_cast<std::uint8_t>(ValueType::FourByteB) || bytes == kUnnamedScalarBytes;
    return {bytes, isSigned};
}

// The scalar's first `form.bytes` bytes as a number (little-endian).
[[nodiscard]] std::int64_t scalarNumber(const CNDKValue::Scalar& slot, ScalarForm form) noexcept {
    std::uint64_t bits = 0;
    for (std::size_t i = form.bytes; i-- > 0;) {
        bits = (bits << 8) | slot[i];
    }
    if (!form.isSigned || form.bytes == sizeof(bits)) {
        return static_cast<std::int64_t>(bits);
    }
    const std::uint64_t signBit = std::uint64_t{1} << (8 * form.bytes - 1);
    return static_cast<std::int64_t>((bits ^ signBit) - signBit);
}

void append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// A JSON string of valid UTF-8 `text`, escaped as JSON requires.
void appendJsonString(std::vector<std::uint8_t>& out, std::string_view text) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(byte);
        } else if (byte < 0x20) {
            append(out, "\\u00");
            out.push_back(static_cast<std::uint8_t>(kHex[byte >> 4]));
            out.push_back(static_cast<std::uint8_t>(kHex[byte & 0xFU]));
        } else {
            out.push_back(byte);
        }
    }
    out.push_back('"');
}

void appendTypeName(std::vector<std::uint8_t>& out, std::uint8_t code) {
    append(out, "{\"type\":\"");
    if (const auto name = protocol::valueTypeName(static_cast<ValueType>(code))) {
        append(out, *name);
    } else {
        append(out, kUnnamedTypePrefix);
        append(out, std::to_string(code));
    }
    out.push_back('"');
}

void appendValue(std::vector<std::uint8_t>& out, const CNDKValue& value) {
    const std::uint8_t code = value.typeCode();
    appendTypeName(out, code);
    if (value.isType(ValueType::Bytes)) {
        append(out, ",\"base64\":\"");
        appendBase64(value.bytes().view(), out);
        append(out, "\"}");
        return;
    }
    if (value.isType(ValueType::Text)) {
        const std::string& text = value.text();
        if (QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8()) {
            append(out, ",\"value\":");
            appendJsonString(out, text);
            out.push_back('}');
        } else {
            append(out, ",\"base64\":\"");
            appendBase64({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, out);
            append(out, "\"}");
        }
        return;
    }
    const ScalarForm form = scalarForm(code);
    const std::int64_t number = scalarNumber(value.scalar(), form);
    append(out, ",\"value\":");
    if (form.bytes == kUnnamedScalarBytes) {
        out.push_back('"');
        append(out, std::to_string(number));
        out.push_back('"');
    } else {
        append(out, std::to_string(number));
    }
    out.push_back('}');
}

// ---- Reading ----

// Every number of a message is an integer. The JSON reader keeps no trace of
// how a number was written (2.0 and 1e2 read as integers), so numbers with a
// fraction or an exponent are found in the text itself: outside strings, a
// '.', 'e' or 'E' can only belong to such a number (or to true/false, which
// no message holds either).
[[nodiscard]] bool onlyIntegerNumbers(std::string_view json) noexcept {
    bool inString = false;
    bool escaped = false;
    for (const char c : json) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '.' || c == 'e' || c == 'E') {
            return false;
        }
    }
    return true;
}

// The type code a JSON type name stands for.
[[nodiscard]] std::optional<std::uint8_t> typeCodeOf(const QString& name) {
    const std::string text = name.toStdString();
    if (const auto type = protocol::findValueType(text)) {
        return static_cast<std::uint8_t>(*type);
    }
    const std::string_view view = text;
    if (!view.starts_with(kUnnamedTypePrefix)) {
        return std::nullopt;
    }
    const std::string_view digits = view.substr(kUnnamedTypePrefix.size());
    unsigned code = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
    if (ec != std::errc{} || end != digits.data() + digits.size() || digits.empty() ||
        digits.front() == '0' || code < std::size(protocol::kValueTypes) || code > 0xFF) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(code);
}

// A JSON number written as an integer (no fraction, no exponent).
[[nodiscard]] std::optional<std::int64_t> integerOf(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const QVariant variant = value.toVariant();
    if (variant.typeId() != QMetaType::LongLong) {
        return std::nullopt;
    }
    return variant.toLongLong();
}

// A signed 64-bit number in its one decimal form (no sign on 0, no leading
// zeros, no "+").
[[nodiscard]] std::optional<std::int64_t> decimalOf(const QJsonValue& value) {
    if (!value.isString()) {
        return std::nullopt;
    }
    const std::string text = value.toString().toStdString();
    std::int64_t number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc{} || end != text.data() + text.size() || std::to_string(number) != text) {
        return std::nullopt;
    }
    return number;
}

[[nodiscard]] std::optional<std::vector<std::uint8_t>> base64Of(const QJsonValue& value) {
    if (!value.isString()) {
        return std::nullopt;
    }
    const QString text = value.toString();
    for (const QChar c : text) {
        if (c.unicode() > 0x7F) {
            return std::nullopt;
        }
    }
    const QByteArray ascii = text.toLatin1();
    return decodeBase64({ascii.constData(), static_cast<std::size_t>(ascii.size())});
}

[[nodiscard]] std::optional<CNDKValue> scalarValue(std::uint8_t code, const QJsonValue& json) {
    const ScalarForm form = scalarForm(code);
    std::int64_t number = 0;
    if (form.bytes == kUnnamedScalarBytes) {
        const auto decimal = decimalOf(json);
        if (!decimal) {
            return std::nullopt;
        }
        number = *decimal;
    } else {
        const auto integer = integerOf(json);
        const int bits = static_cast<int>(8 * form.bytes);
        const std::int64_t low = form.isSigned ? -(std::int64_t{1} << (bits - 1)) : 0;
        const std::int64_t high =
            form.isSigned ? (std::int64_t{1} << (bits - 1)) - 1 : (std::int64_t{1} << bits) - 1;
        if (!integer || *integer < low || *integer > high) {
            return std::nullopt;
        }
        number = *integer;
    }
    // Little-endian, as the slot keeps it.
    CNDKValue::Scalar slot{};
    auto bits = static_cast<std::uint64_t>(number);
    for (std::size_t i = 0; i < form.bytes; ++i, bits >>= 8) {
        slot[i] = static_cast<std::uint8_t>(bits & 0xFFU);
    }
    return CNDKValue::fromRawScalar(code, slot.data(), form.bytes);
}

[[nodiscard]] std::optional<CNDKValue> textValue(const QJsonObject& object) {
    if (object.contains(kBase64Key)) {
        const auto bytes = base64Of(object.value(kBase64Key));
        if (!bytes) {
            return std::nullopt;
        }
        return CNDKValue::fromText({reinterpret_cast<const char*>(bytes->data()), bytes->size()});
    }
    const QJsonValue json = object.value(kValueKey);
    if (!json.isString()) {
        return std::nullopt;
    }
    const QString text = json.toString();
    // A lone surrogate has no UTF-8 form: it cannot stand for any text.
    if (!QStringView(text).isValidUtf16()) {
        return std::nullopt;
    }
    return CNDKValue::fromText(text.toStdString());
}

[[nodiscard]] std::optional<CNDKValue> valueOf(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const bool hasValue = object.contains(kValueKey);
    const bool hasBase64 = object.contains(kBase64Key);
    if (object.size() != 2 || hasValue == hasBase64 || !object.value(kTypeKey).isString()) {
        return std::nullopt;
    }
    const auto code = typeCodeOf(object.value(kTypeKey).toString());
    if (!code) {
        return std::nullopt;
    }
    if (*code == static_cast<std::uint8_t>(ValueType::Text)) {
        return textValue(object);
    }
    if (*code == static_cast<std::uint8_t>(ValueType::Bytes)) {
        if (!hasBase64) {
            return std::nullopt;
        }
        const auto bytes = base64Of(object.value(kBase64Key));
        return bytes ? std::optional(CNDKValue::fromBytes(*bytes)) : std::nullopt;
    }
    return hasValue ? scalarValue(*code, object.value(kValueKey)) : std::nullopt;
}

} // namespace

void encodeJson(const net::CNDKMessage& message, std::vector<std::uint8_t>& out) {
    append(out, "{\"id\":");
    append(out, std::to_string(message.id()));
    append(out, ",\"values\":[");
    bool first = true;
    for (const CNDKValue& value : message.values()) {
        if (!first) {
            out.push_back(',');
        }
        first = false;
        appendValue(out, value);
    }
    append(out, "]}");
}

bool decodeJson(std::string_view json, const net::CNDKArchive::Limits& limits,
                net::CNDKMessage& out) {
    if (!onlyIntegerNumbers(json)) {
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject object = document.object();
    const auto id = integerOf(object.value(kIdKey));
    const QJsonValue values = object.value(kValuesKey);
    if (object.size() != 2 || !id || *id < std::numeric_limits<std::int32_t>::min() ||
        *id > std::numeric_limits<std::int32_t>::max() || !values.isArray()) {
        return false;
    }
    const QJsonArray array = values.toArray();
    if (static_cast<std::size_t>(array.size()) > limits.maxValueCount) {
        return false;
    }
    out = net::CNDKMessage(static_cast<std::int32_t>(*id));
    for (const QJsonValue& item : array) {
        auto value = valueOf(item);
        if (!value) {
            return false;
        }
        out.appendValue(std::move(*value));
    }
    return net::CNDKArchive::encodedSize(out) <= limits.maxMessageBytes;
}

} // namespace tembrel::web
