#include "varnel/signal/CallerIdMessage.h"

#include <cstring>
#include <iterator>

#include "varnel/platform/LocalTime.h"

namespace Quorvex::VarnelNet::CallerIdMessage {

namespace {

constexpr std::size_t kSdmfLongestNumber = 40;
constexpr std::size_t kLengthByteLimit = 255;

std::size_t TextLength(const char* text) { return text ? std::strlen(text) : 0; }

void AppendText(std::vector<std::uint8_t>& out, const char* text, std::size_t length) {
    out.insert(out.end(), reinterpret_cast<const std::uint8_t*>(text),
               reinterpret_cast<const std::uint8_t*>(text) + length);
}

std::uint8_t Digit(int value) { return static_cast<std::uint8_t>('0' + value); }

}  // namespace

int FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]) {
    if (dateTime == nullptr || *dateTime == '\0') {
        const LocalTime now = GetLocalTime();
        const int fields[4] = {now.month, now.day, now.hour, now.minute};
        for (int i = 0; i < 4; ++i) {
            out[2 * i] = Digit(fields[i] / 10);
            out[2 * i + 1] = Digit(fields[i] % 10);
        }
        return 0;
    }
    if (std::strlen(dateTime) != 11) return -1;
    // "MM/DD HH:MM": four pairs of characters, taken as they are, and three separators.
    const char separators[3] = {'/', ' ', ':'};
    for (int i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<std::uint8_t>(dateTime[3 * i]);
        out[2 * i + 1] = static_cast<std::uint8_t>(dateTime[3 * i + 1]);
        if (i < 3 && dateTime[3 * i + 2] != separators[i]) return -2;
    }
    return 0;
}

void AddChecksum(std::vector<std::uint8_t>& message) {
    unsigned sum = 0;
    for (const std::uint8_t byte : message) sum += byte;
    message.push_back(static_cast<std::uint8_t>((256u - sum % 256u) % 256u));
    message.push_back(0x00);
}

int BuildSDMF(const char* number, const char* dateTime, std::vector<std::uint8_t>& out) {
    out.clear();
    const std::size_t n = TextLength(number);
    if (n == 0 || n > kSdmfLongestNumber) return -1;
    std::uint8_t stamp[8];
    if (const int result = FormatDateTime(dateTime, stamp); result != 0) return result;

    out.reserve(n + 12);
    out.push_back(0x04);
    out.push_back(static_cast<std::uint8_t>(8 + n));
    out.insert(out.end(), std::begin(stamp), std::end(stamp));
    AppendText(out, number, n);
    AddChecksum(out);
    return 0;
}

int BuildMDMF(const char* number, const char* name, const char* dateTime, std::vector<std::uint8_t>& out) {
    return BuildMDMF(number, name, dateTime, 0, 0, out);
}

int BuildMDMF(const char* number, const char* name, const char* dateTime, char numberAbsence, char nameAbsence,
              std::vector<std::uint8_t>& out) {
    out.clear();
    // A field is its type, its text and the text's length; an absence reason is one letter.
    struct Field {
        std::uint8_t type;
        const char* text;
        std::size_t length;
    };
    const Field fields[2] = {
        numberAbsence ? Field{0x04, &numberAbsence, 1} : Field{0x02, number, TextLength(number)},
        nameAbsence ? Field{0x08, &nameAbsence, 1} : Field{0x07, name, TextLength(name)},
    };
    std::size_t parameters = 10;
    for (const Field& f : fields) {
        if (f.length > kLengthByteLimit) return -1;
        if (f.length) parameters += f.length + 2;
    }
    if (parameters > kLengthByteLimit) return -1;
    std::uint8_t stamp[8];
    if (const int result = FormatDateTime(dateTime, stamp); result != 0) return result;

    out.reserve(parameters + 4);
    out.push_back(0x80);
    out.push_back(static_cast<std::uint8_t>(parameters));
    out.push_back(0x01);
    out.push_back(8);
    out.insert(out.end(), std::begin(stamp), std::end(stamp));
    for (const Field& f : fields) {
        if (!f.length) continue;
        out.push_back(f.type);
        out.push_back(static_cast<std::uint8_t>(f.length));
        AppendText(out, f.text, f.length);
    }
    AddChecksum(out);
    return 0;
}

void BuildVmwiSDMF(bool active, std::vector<std::uint8_t>& out) {
    const std::uint8_t code = active ? 0x42 : 0x6F;
    out = {0x06, 3, code, code, code};
    AddChecksum(out);
}

void BuildVmwiMDMF(bool active, std::vector<std::uint8_t>& out) {
    out = {0x82, 3, 0x0B, 1, static_cast<std::uint8_t>(active ? 0xFF : 0x00)};
    AddChecksum(out);
}

int BuildRaw(const char* data, std::vector<std::uint8_t>& out) {
    out.clear();
    const std::size_t d = TextLength(data);
    out.reserve(d + 2);
    AppendText(out, data, d);
    AddChecksum(out);
    return 0;
}

}  // namespace Quorvex::VarnelNet::CallerIdMessage
