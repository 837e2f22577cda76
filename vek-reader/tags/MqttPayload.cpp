#include "tags/MqttPayload.h"

#include "tags/Spelling.h"

#include <nlohmann/json.hpp>

#include <ctype.h>

#include <deque>

namespace
{

using Json = nlohmann::ordered_json;

// Far more than any reader publishes for one scan; larger payloads are not
// parsed at all.
constexpr size_t kLongestPayload = 64 * 1024;
const char* const kTagKeys[] = {"uid", "UID", "rfid", "tag"};

std::string_view Trim(std::string_view text)
{
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Hex digits, maybe with separators, as readers write a UID.
bool IsTagText(std::string_view text)
{
    if (text.empty() || text.size() > kLongestTag)
        return false;
    bool digits = false;
    for (char c : text) {
        if (isxdigit(static_cast<unsigned char>(c))) {
            digits = true;
        } else if (c != ':' && c != '-' && c != ' ') {
            return false;
        }
    }
    return digits;
}

std::optional<PayloadTag> TagFromValue(const Json& value)
{
    if (value.is_number_unsigned())
        return PayloadTag{std::to_string(value.get<uint64_t>()), true};
    if (value.is_string()) {
        std::string_view text = Trim(value.get_ref<const std::string&>());
        if (IsTagText(text))
            return PayloadTag{std::string(text), false};
    }
    return std::nullopt;
}

const Json* FollowPath(const Json& document, const std::string& field)
{
    const Json* node = &document;
    size_t start = 0;
    for (;;) {
        size_t dot = field.find('.', start);
        std::string name = field.substr(start, dot == std::string::npos ? dot : dot - start);
        if (node->is_object()) {
            auto member = node->find(name);
            if (member == node->end())
                return nullptr;
            node = &*member;
        } else if (node->is_array() && !name.empty() && name.size() < 10 &&
                   name.find_first_not_of("0123456789") == std::string::npos) {
            size_t index = std::stoul(name);
            if (index >= node->size())
                return nullptr;
            node = &(*node)[index];
        } else {
            return nullptr;
        }
        if (dot == std::string::npos)
            return node;
        start = dot + 1;
    }
}

// Breadth first, so that a key near the top wins over one deep inside; no
// recursion, so that deep nesting cannot exhaust the stack.
std::optional<PayloadTag> SearchKeys(const Json& document)
{
    std::deque<const Json*> pending{&document};
    while (!pending.empty()) {
        const Json& node = *pending.front();
        pending.pop_front();
        if (node.is_object()) {
            for (const char* key : kTagKeys) {
                auto member = node.find(key);
                if (member == node.end())
                    continue;
                if (std::optional<PayloadTag> tag = TagFromValue(*member))
                    return tag;
            }
        }
        if (node.is_structured()) {
            for (const Json& child : node)
                pending.push_back(&child);
        }
    }
    return std::nullopt;
}

} // namespace

bool IsFieldPath(const std::string& field)
{
    return !field.empty() && field.front() != '.' && field.back() != '.' &&
           field.find("..") == std::string::npos;
}

std::optional<PayloadTag> FindPayloadTag(std::string_view payload, const std::string& field,
                                         std::string* why)
{
    auto fail = [why](std::string reason) {
        *why = std::move(reason);
        return std::nullopt;
    };
    if (payload.size() > kLongestPayload)
        return fail("payload of " + std::to_string(payload.size()) + " bytes is too long");
    if (!IsUtf8(payload))
        return fail("payload is not valid UTF-8");
    std::string_view text = Trim(payload);
    if (text.empty())
        return fail("empty payload");

    if (text.front() != '{' && text.front() != '[' && text.front() != '"') {
        if (!IsTagText(text))
            return fail("payload is neither JSON nor a tag");
        return PayloadTag{std::string(text), false};
    }

    Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded())
        return fail("payload is not valid JSON");
    if (!field.empty()) {
        const Json* value = FollowPath(document, field);
        if (value == nullptr)
            return fail("JSON payload has no " + field);
        if (std::optional<PayloadTag> tag = TagFromValue(*value))
            return tag;
        return fail("JSON payload's " + field + " is not a tag");
    }
    if (std::optional<PayloadTag> tag = TagFromValue(document))
        return tag;
    if (std::optional<PayloadTag> tag = SearchKeys(document))
        return tag;
    return fail("JSON payload has no tag (uid, UID, rfid or tag)");
}
