#ifndef VEK_READER_TAGS_MQTT_PAYLOAD_H
#define VEK_READER_TAGS_MQTT_PAYLOAD_H

// Finds the tag in what a reader published to the broker: the payload itself
// as plain text, or a value in a JSON payload.

#include <optional>
#include <string>
#include <string_view>

struct PayloadTag {
    std::string tag;
    // The tag was a JSON number: decimal digits, as a keyboard wedge types
    // them, not hex.
    bool typed = false;
};

// The tag in payload, or nothing, with the reason in why. field is a dotted
// path into a JSON payload ("data.uid", array elements by their index);
// empty: the first of uid, UID, rfid, tag, shallower keys first.
std::optional<PayloadTag> FindPayloadTag(std::string_view payload, const std::string& field,
                                         std::string* why);

// Whether field can be used as a path: names separated by single dots.
bool IsFieldPath(const std::string& field);

#endif
