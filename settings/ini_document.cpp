#include "settings/ini_document.h"

#include <set>

#include "framework/cstring.h"

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";
const char kUtf16LeMark[] = "\xFF\xFE";
const char kUtf16BeMark[] = "\xFE\xFF";

// The profile functions count CR and the DOS end-of-file mark as blanks.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string trimmed(const std::string& text)
{
    size_t first = 0, end = text.size();
    while (first < end && isBlank(text[first]))
        ++first;
    while (end > first && isBlank(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

// A line that holds an entry: not blank, and no comment.
bool isEntry(const std::string& text)
{
    const std::string line = trimmed(text);
    return !line.empty() && line[0] != ';' && line[0] != '#';
}

bool hasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

// A name with its ASCII letters in lower case; in ANSI text the second byte
// of a double-byte character stays as it is.
std::string folded(const std::string& name, bool ansi)
{
    std::string out = name;
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (ansi && IsLeadByteAnsi(c))
            ++i;
        else if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The name of a section line "[name]": the text between the '[' and the
// last ']'. False for any other line.
bool sectionOf(const std::string& text, bool ansi, std::string& name)
{
    const std::string line = trimmed(text);
    if (line.empty() || line[0] != '[')
        return false;
    size_t close = std::string::npos;
    for (size_t i = 1; i < line.size(); ++i) {
        if (ansi && IsLeadByteAnsi(static_cast<unsigned char>(line[i])))
            ++i;
        else if (line[i] == ']')
            close = i;
    }
    if (close == std::string::npos)
        return false;
    name = line.substr(1, close - 1);
    return true;
}

// The key of a line "key=value" (or of a line "key"), without blanks;
// equals is where its '=' is, npos without one.
std::string keyOf(const std::string& text, size_t& equals)
{
    equals = text.find('=');
    return trimmed(text.substr(0, equals));
}

// A value without one pair of quotes around it, as the profile functions read it.
std::string unquoted(const std::string& value)
{
    const size_t n = value.size();
    if (n >= 2 && (value[0] == '"' || value[0] == '\'') && value[n - 1] == value[0])
        return value.substr(1, n - 2);
    return value;
}

void appendUtf8(std::string& out, unsigned c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const unsigned char leads[] = {0, 0xC0, 0xE0, 0xF0};
    const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(leads[extra] | (c >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

unsigned utf16Unit(const std::string& bytes, size_t i, bool bigEndian)
{
    const unsigned first = static_cast<unsigned char>(bytes[2 * i]), second = static_cast<unsigned char>(bytes[2 * i + 1]);
    return bigEndian ? (first << 8 | second) : (second << 8 | first);
}

// UTF-16 as UTF-8. A surrogate without its partner becomes three bytes of
// its own, which toUtf16 turns back into that unit.
std::string fromUtf16(const std::string& bytes, bool bigEndian)
{
    std::string out;
    const size_t n = bytes.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        unsigned c = utf16Unit(bytes, i, bigEndian);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {
            const unsigned low = utf16Unit(bytes, i + 1, bigEndian);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

// The character of the UTF-8 sequence at text[i] and its length in bytes;
// a byte that starts no whole, shortest sequence stands for itself.
unsigned decodeUtf8(const std::string& text, size_t i, size_t& length)
{
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 && lead < 0xF0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : 0;
    unsigned c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        const unsigned char next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        if ((next & 0xC0) != 0x80) {
            length = 1;
            return lead;
        }
        c = c << 6 | (next & 0x3F);
    }
    const unsigned shortest[] = {0, 0x80, 0x800, 0x10000};
    if (c < shortest[extra] || c > 0x10FFFF) {
        length = 1;
        return lead;
    }
    length = extra + 1;
    return c;
}

std::string toUtf16(const std::string& text, bool bigEndian)
{
    std::string out;
    const auto put = [&](unsigned unit) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (size_t i = 0, length = 0; i < text.size(); i += length) {
        const unsigned c = decodeUtf8(text, i, length);
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

}  // namespace

IniDocument::IniDocument(const std::string& bytes)
{
    std::string text;
    if (bytes.compare(0, 3, kUtf8Mark) == 0) {
        m_encoding = Encoding::Utf8;
        m_mark = bytes.substr(0, 3);
        text = bytes.substr(3);
    } else if (bytes.compare(0, 2, kUtf16LeMark) == 0 || bytes.compare(0, 2, kUtf16BeMark) == 0) {
        m_encoding = bytes[0] == kUtf16LeMark[0] ? Encoding::Utf16Le : Encoding::Utf16Be;
        m_mark = bytes.substr(0, 2);
        m_odd = bytes.size() % 2 != 0 ? bytes.substr(bytes.size() - 1) : std::string();
        text = fromUtf16(bytes.substr(2, bytes.size() - 2 - m_odd.size()), m_encoding == Encoding::Utf16Be);
    } else {
        text = bytes;
    }
    for (size_t at = 0; at < text.size();) {
        const size_t stop = text.find_first_of("\r\n", at);
        if (stop == std::string::npos) {
            m_lines.push_back({text.substr(at), std::string()});
            break;
        }
        const size_t endLength = text.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
        m_lines.push_back({text.substr(at, stop - at), text.substr(stop, endLength)});
        at = stop + endLength;
    }
}

std::string IniDocument::bytes() const
{
    std::string text;
    for (const Line& line : m_lines)
        text.append(line.text).append(line.end);
    if (m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be)
        text = toUtf16(text, m_encoding == Encoding::Utf16Be) + m_odd;
    return m_mark + text;
}

bool IniDocument::findSection(const std::string& name, size_t& first, size_t& last) const
{
    const bool ansi = m_encoding == Encoding::Ansi;
    const std::string wanted = folded(trimmed(name), ansi);
    std::string found;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!sectionOf(m_lines[i].text, ansi, found) || found.empty() || folded(found, ansi) != wanted)
            continue;
        first = i + 1;
        for (last = first; last < m_lines.size() && !sectionOf(m_lines[last].text, ansi, found);)
            ++last;
        return true;
    }
    return false;
}

bool IniDocument::find(const std::string& section, const std::string& key, std::string& value) const
{
    const bool ansi = m_encoding == Encoding::Ansi;
    const std::string wanted = folded(trimmed(key), ansi);
    size_t first = 0, last = 0;
    if (wanted.empty() || !findSection(section, first, last))
        return false;
    for (size_t i = first; i < last; ++i) {
        size_t equals = 0;
        if (folded(keyOf(m_lines[i].text, equals), ansi) != wanted)
            continue;
        if (equals == std::string::npos)
            return false;
        value = unquoted(trimmed(m_lines[i].text.substr(equals + 1)));
        return true;
    }
    return false;
}

bool IniDocument::set(const std::string& section, const std::string& key, const std::string& value)
{
    const bool ansi = m_encoding == Encoding::Ansi;
    const std::string name = trimmed(section), keyName = trimmed(key), header = "[" + name + "]";
    std::string headerName;
    // The header must give the name back: a last byte that starts a
    // double-byte character would take the ']' with it.
    if (name.empty() || keyName.empty() || keyName[0] == '[' || keyName.find('=') != std::string::npos ||
        hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) || !sectionOf(header, ansi, headerName) ||
        headerName != name)
        return false;

    size_t first = 0, last = 0;
    if (!findSection(name, first, last)) {
        insertLine(m_lines.size(), header);
        insertLine(m_lines.size(), keyName + "=" + value);
        return true;
    }
    const std::string wanted = folded(keyName, ansi);
    size_t keyLine = std::string::npos, lastEntry = first - 1;
    for (size_t i = first; i < last;) {
        size_t equals = 0;
        if (folded(keyOf(m_lines[i].text, equals), ansi) != wanted) {
            lastEntry = isEntry(m_lines[i].text) ? i : lastEntry;
            ++i;
        } else if (keyLine == std::string::npos) {
            keyLine = i++;
            m_lines[keyLine].text = m_lines[keyLine].text.substr(0, equals) + "=" + value;
        } else {
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
            --last;
        }
    }
    if (keyLine == std::string::npos)
        insertLine(lastEntry + 1, keyName + "=" + value);
    return true;
}

std::vector<std::string> IniDocument::sectionNames() const
{
    const bool ansi = m_encoding == Encoding::Ansi;
    std::vector<std::string> names;
    std::set<std::string> seen;
    std::string name;
    for (const Line& line : m_lines) {
        if (sectionOf(line.text, ansi, name) && !name.empty() && seen.insert(folded(name, ansi)).second)
            names.push_back(name);
    }
    return names;
}

std::string IniDocument::newLineEnd() const
{
    for (const Line& line : m_lines) {
        if (!line.end.empty())
            return line.end;
    }
    return "\r\n";
}

void IniDocument::insertLine(size_t at, const std::string& text)
{
    const std::string end = newLineEnd();
    // The line before it may have been the file's last, without an ending.
    if (at > 0 && m_lines[at - 1].end.empty())
        m_lines[at - 1].end = end;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), Line{text, end});
}
