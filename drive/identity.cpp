#include "drive/identity.h"

namespace {

const char kSeparator = '|';
const unsigned char kVpdSerialNumber = 0x80;
const size_t kVpdHeaderLength = 4;

bool holdsAsItself(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7F)
        return false;
    for (const char* p = "%|=;[]\""; *p != '\0'; ++p) {
        if (c == static_cast<unsigned char>(*p))
            return false;
    }
    return true;
}

void appendEscaped(std::string& out, const std::string& field)
{
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : field) {
        if (holdsAsItself(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Text of a field without trailing blanks.
std::string trimmedField(const unsigned char* data, size_t length, size_t first, size_t width)
{
    std::string field;
    for (size_t i = 0; i < width; ++i) {
        const unsigned char c = first + i < length ? data[first + i] : 0;
        field += static_cast<char>(c == 0 ? ' ' : c);
    }
    return field.substr(0, field.find_last_not_of(' ') + 1);
}

}  // namespace

DriveIdentity identityFromInquiry(const unsigned char* data, size_t length)
{
    DriveIdentity identity;
    if (data == nullptr)
        return identity;
    identity.vendor = trimmedField(data, length, 8, 8);
    identity.product = trimmedField(data, length, 16, 16);
    identity.revision = trimmedField(data, length, 32, 4);
    return identity;
}

std::string unitSerialNumber(const unsigned char* data, size_t length)
{
    if (data == nullptr || length < kVpdHeaderLength || data[1] != kVpdSerialNumber)
        return std::string();
    const size_t end = kVpdHeaderLength + data[3] < length ? kVpdHeaderLength + data[3] : length;
    std::string serial;
    for (size_t i = kVpdHeaderLength; i < end; ++i)
        serial += static_cast<char>(data[i] == 0 ? ' ' : data[i]);
    const size_t first = serial.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : serial.substr(first, serial.find_last_not_of(' ') + 1 - first);
}

std::string identityText(const DriveIdentity& identity)
{
    std::string text;
    const std::string* fields[] = {&identity.vendor, &identity.product, &identity.revision, &identity.serial};
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0)
            text += kSeparator;
        appendEscaped(text, *fields[i]);
    }
    return text;
}

bool parseIdentityText(const std::string& text, DriveIdentity& out)
{
    std::string fields[4];
    size_t field = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kSeparator) {
            if (++field == 4)
                return false;
        } else if (text[i] == '%') {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
            if (low < 0)
                return false;
            fields[field] += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            fields[field] += text[i];
        }
    }
    if (field != 3)
        return false;
    out = {fields[0], fields[1], fields[2], fields[3]};
    return true;
}
