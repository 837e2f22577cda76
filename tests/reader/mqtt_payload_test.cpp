// Where the tag is in what a reader published to the broker: plain text, or
// a value of a JSON payload.

#include "tags/MqttPayload.h"

#include <gtest/gtest.h>

namespace
{

std::optional<PayloadTag> Find(std::string_view payload, const std::string& field = "")
{
    std::string why;
    std::optional<PayloadTag> tag = FindPayloadTag(payload, field, &why);
    if (!tag) {
        EXPECT_FALSE(why.empty()) << "no reason for " << payload.substr(0, 40);
    }
    return tag;
}

std::string TagOf(std::string_view payload, const std::string& field = "")
{
    std::optional<PayloadTag> tag = Find(payload, field);
    return tag ? tag->tag : "(none)";
}

std::string WhyNot(std::string_view payload, const std::string& field = "")
{
    std::string why;
    if (FindPayloadTag(payload, field, &why))
        return "(found)";
    return why;
}

TEST(MqttPayload, PlainTextIsTheTagWhenItLooksLikeOne)
{
    EXPECT_EQ(TagOf("04A1B2"), "04A1B2");
    EXPECT_EQ(TagOf(" 04:a1:b2\r\n"), "04:a1:b2");
    EXPECT_EQ(TagOf("04-A1-B2"), "04-A1-B2");
    EXPECT_EQ(TagOf("1234567890"), "1234567890");
    EXPECT_FALSE(Find("1234567890")->typed);

    EXPECT_EQ(WhyNot("hello world"), "payload is neither JSON nor a tag");
    EXPECT_EQ(WhyNot("ON"), "payload is neither JSON nor a tag");
    EXPECT_EQ(WhyNot(":-:"), "payload is neither JSON nor a tag");
    EXPECT_EQ(WhyNot(std::string(65, 'A')), "payload is neither JSON nor a tag");
    EXPECT_EQ(WhyNot(" \r\n"), "empty payload");
    EXPECT_EQ(WhyNot(std::string("04\0A1", 5)), "payload is neither JSON nor a tag");
}

TEST(MqttPayload, JsonTagIsFoundByTheUsualKeysShallowestFirst)
{
    EXPECT_EQ(TagOf(R"({"uid":"04A1B2C3"})"), "04A1B2C3");
    EXPECT_EQ(TagOf(R"({"UID":"0A0B"})"), "0A0B");
    EXPECT_EQ(TagOf(R"({"rfid":" de:ad "})"), "de:ad");
    EXPECT_EQ(TagOf(R"({"event":{"card":{"tag":"BEEF"}},"seq":3})"), "BEEF");
    EXPECT_EQ(TagOf(R"([{"x":1},{"UID":"0A0B"}])"), "0A0B");
    EXPECT_EQ(TagOf(R"("CAFE")"), "CAFE");
    // Shallower wins over deeper; in one object, uid before UID, rfid, tag.
    EXPECT_EQ(TagOf(R"({"data":{"uid":"BB"},"tag":"AA"})"), "AA");
    EXPECT_EQ(TagOf(R"({"tag":"AA","rfid":"BB","UID":"CC","uid":"DD"})"), "DD");
    // A key whose value is no tag does not end the search.
    EXPECT_EQ(TagOf(R"({"uid":null,"more":{"uid":"0102"}})"), "0102");

    std::optional<PayloadTag> number = Find(R"({"tag":1234567890})");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->tag, "1234567890");
    EXPECT_TRUE(number->typed);
    EXPECT_FALSE(Find(R"({"uid":"04A1"})")->typed);

    EXPECT_EQ(WhyNot(R"({"name":"x","uid":-5,"tag":1.5,"rfid":"hello"})"),
              "JSON payload has no tag (uid, UID, rfid or tag)");
    EXPECT_EQ(WhyNot("{not json"), "payload is not valid JSON");
    EXPECT_EQ(WhyNot(R"({"uid":"04A1"} trailing)"), "payload is not valid JSON");
}

TEST(MqttPayload, FieldPathNamesTheValue)
{
    EXPECT_EQ(TagOf(R"({"data":{"card":{"id":"0A0B0C"}}})", "data.card.id"), "0A0B0C");
    EXPECT_EQ(TagOf(R"({"items":[{"uid":"01"},{"uid":"02"}]})", "items.1.uid"), "02");
    EXPECT_EQ(TagOf(R"({"id":42})", "id"), "42");
    // The usual keys are not looked at when a path is given.
    EXPECT_EQ(WhyNot(R"({"uid":"1234","data":{}})", "data.card.id"),
              "JSON payload has no data.card.id");
    EXPECT_EQ(WhyNot(R"({"items":[{"uid":"01"}]})", "items.5.uid"),
              "JSON payload has no items.5.uid");
    EXPECT_EQ(WhyNot(R"({"data":{"card":{"id":{"x":1}}}})", "data.card.id"),
              "JSON payload's data.card.id is not a tag");
    EXPECT_EQ(WhyNot("04A1B2", "data.card.id"), "(found)");

    EXPECT_TRUE(IsFieldPath("uid"));
    EXPECT_TRUE(IsFieldPath("data.0.uid"));
    EXPECT_FALSE(IsFieldPath(""));
    EXPECT_FALSE(IsFieldPath(".uid"));
    EXPECT_FALSE(IsFieldPath("data..uid"));
    EXPECT_FALSE(IsFieldPath("data."));
}

TEST(MqttPayload, BadBytesAndHugeOrDeepPayloadsAreRefused)
{
    EXPECT_EQ(WhyNot("\xff\xfe\x41"), "payload is not valid UTF-8");
    EXPECT_EQ(WhyNot("{\"uid\":\"04\xC3\"}"), "payload is not valid UTF-8"); // cut short
    EXPECT_EQ(WhyNot("\xC0\xAF"), "payload is not valid UTF-8");             // overlong
    EXPECT_EQ(WhyNot("\xED\xA0\x80"), "payload is not valid UTF-8");         // surrogate
    EXPECT_EQ(WhyNot("\xF4\x90\x80\x80"), "payload is not valid UTF-8");     // past U+10FFFF
    EXPECT_EQ(WhyNot(R"({"note":"Grüße ✓ 😀","uid":"01"})"), "(found)");

    EXPECT_EQ(WhyNot(std::string(1 << 20, 'A')), "payload of 1048576 bytes is too long");
    // Nesting as deep as the length allows, with the tag at the bottom.
    std::string deep = std::string(30000, '[') + R"({"uid":"77"})" + std::string(30000, ']');
    EXPECT_EQ(TagOf(deep), "77");
    EXPECT_EQ(WhyNot(std::string(60000, '[')), "payload is not valid JSON");
}

} // namespace
