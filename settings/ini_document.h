// IniDocument: the text of an INI file as lines, searched the way the
// system's profile functions search it, changed one key at a time, and
// turned back into bytes that keep everything no change touched: other
// sections and keys, comments, blank lines, their order, each line's own
// line ending, and the file's encoding with its byte-order mark.
#pragma once

#include <string>
#include <vector>

class IniDocument {
public:
    // How the file stores its text. The document holds ANSI text as it is
    // and every other kind as UTF-8; UTF-16 goes back to its own bytes when
    // written, unpaired surrogates and an odd last byte included.
    enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

    // Any bytes make a document: lines end in CR LF, LF or CR alone.
    explicit IniDocument(const std::string& bytes);

    // The file's bytes: those it was made from when nothing was changed.
    std::string bytes() const;
    Encoding encoding() const { return m_encoding; }

    // Finds the first line of the key in the first section of that name
    // (names compared without the blanks around them and ignoring the case
    // of ASCII letters) and gives its value without the blanks around it
    // and without one pair of quotes that encloses it. False when there is
    // no such section or key, or the key's line has no '='.
    bool find(const std::string& section, const std::string& key, std::string& value) const;

    // Gives the key this value in the first section of that name: the key's
    // first line keeps its text up to its '=' and gets the value, its other
    // lines in that section go; a new key goes after the section's last
    // entry (a line neither blank nor a comment, which starts with ';' or
    // '#'), a new section at the end of the file. False,
    // with nothing changed, when a name is blank, a text holds a line break,
    // or the key holds '=' or starts with '['.
    bool set(const std::string& section, const std::string& key, const std::string& value);

    // The sections' names, each once (as first written), in file order.
    std::vector<std::string> sectionNames() const;

private:
    struct Line {
        std::string text;  // without its line ending
        std::string end;   // "\r\n", "\n", "\r", or "" on a last line without one
    };
    // The lines of the first section of that name: [first, last).
    bool findSection(const std::string& name, size_t& first, size_t& last) const;
    // The line ending that new lines get: the file's first one.
    std::string newLineEnd() const;
    void insertLine(size_t at, const std::string& text);

    Encoding m_encoding = Encoding::Ansi;
    std::string m_mark;  // the byte-order mark the file starts with
    std::string m_odd;   // a UTF-16 file's odd last byte
    std::vector<Line> m_lines;
};
