#include "JsonText.h"

#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Web {

void JsonText::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_empty.empty()) {
        if (!m_empty.back()) m_text += ',';
        m_empty.back() = false;
    }
}

JsonText& JsonText::Open(char bracket) {
    BeforeValue();
    m_text += bracket;
    m_empty.push_back(true);
    return *this;
}

JsonText& JsonText::Close(char bracket) {
    m_text += bracket;
    m_empty.pop_back();
    return *this;
}

JsonText& JsonText::BeginObject() { return Open('{'); }
JsonText& JsonText::EndObject() { return Close('}'); }
JsonText& JsonText::BeginArray() { return Open('['); }
JsonText& JsonText::EndArray() { return Close(']'); }

JsonText& JsonText::Key(std::string_view name) {
    String(name);
    m_text += ':';
    m_afterKey = true;
    return *this;
}

JsonText& JsonText::String(std::string_view value) {
    BeforeValue();
    static constexpr char kHex[] = "0123456789abcdef";
    m_text += '"';
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            m_text += '\\';
            m_text += c;
        } else if (byte < 0x20) {
            m_text += "\\u00";
            m_text += kHex[byte >> 4];
            m_text += kHex[byte & 0x0F];
        } else {
            m_text += c;
        }
    }
    m_text += '"';
    return *this;
}

JsonText& JsonText::Number(double value) {
    BeforeValue();
    m_text += ShortestText(value);
    return *this;
}

JsonText& JsonText::Integer(std::int64_t value) {
    BeforeValue();
    m_text += std::to_string(value);
    return *this;
}

JsonText& JsonText::Bool(bool value) {
    BeforeValue();
    m_text += value ? "true" : "false";
    return *this;
}

}  // namespace Quorvex::VarnelNet::Web
