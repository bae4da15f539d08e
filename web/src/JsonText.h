#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quorvex::VarnelNet::Web {

// Writes JSON text for the page: objects and arrays opened and closed in order, commas and
// colons placed by the writer. Strings are escaped ('"', '\' and the control characters);
// numbers must be finite.
class JsonText {
public:
    JsonText& BeginObject();
    JsonText& EndObject();
    JsonText& BeginArray();
    JsonText& EndArray();
    // The name of the next member of an object.
    JsonText& Key(std::string_view name);
    JsonText& String(std::string_view value);
    JsonText& Number(double value);
    JsonText& Integer(std::int64_t value);
    JsonText& Bool(bool value);

    const std::string& Text() const { return m_text; }

private:
    void BeforeValue();
    JsonText& Open(char bracket);
    JsonText& Close(char bracket);

    std::string m_text;
    std::vector<bool> m_empty;  // per open object or array: nothing written in it yet
    bool m_afterKey = false;
};

}  // namespace Quorvex::VarnelNet::Web
