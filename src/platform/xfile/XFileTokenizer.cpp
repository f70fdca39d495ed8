#include "platform/xfile/XFileTokenizer.h"

#include "platform/xfile/XFileFormat.h"

#include <QList>
#include <algorithm>
#include <charconv>
#include <cstring>

namespace vm {
namespace {

constexpr int kMaxGuidText = 64;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c) || c == '-';
}

XToken Simple(XTok kind) {
    XToken t;
    t.kind = kind;
    return t;
}

} // namespace

XFileTokenizer::XFileTokenizer(const char* data, qsizetype size, bool binary, bool doubleFloats)
    : m_data(data), m_size(size), m_binary(binary), m_doubleFloats(doubleFloats) {}

void XFileTokenizer::Fail(const char* what) const {
    throw XFileException(
        QStringLiteral("%1 at byte %2 of the body").arg(QLatin1String(what)).arg(m_pos));
}

XToken XFileTokenizer::Next() {
    return m_binary ? NextBinary() : NextText();
}

// --- Text ---------------------------------------------------------------------------------

void XFileTokenizer::SkipTextSpaceAndComments() {
    while (m_pos < m_size) {
        const char c = m_data[m_pos];
        const bool slashComment = c == '/' && m_pos + 1 < m_size && m_data[m_pos + 1] == '/';
        if (c == '#' || slashComment) {
            while (m_pos < m_size && m_data[m_pos] != '\n') {
                ++m_pos;
            }
        } else if (IsSpace(c)) {
            ++m_pos;
        } else {
            return;
        }
    }
}

XToken XFileTokenizer::NextText() {
    SkipTextSpaceAndComments();
    if (m_pos >= m_size) {
        return Simple(XTok::End);
    }
    const char c = m_data[m_pos];
    const bool dotNumber = c == '.' && m_pos + 1 < m_size && IsDigit(m_data[m_pos + 1]);
    if (IsDigit(c) || c == '-' || c == '+' || dotNumber) {
        return TextNumber();
    }
    if (IsNameStart(c)) {
        return TextName();
    }
    if (c == '"') {
        return TextString();
    }
    if (c == '<') {
        return TextGuid();
    }
    ++m_pos;
    switch (c) {
    case '{':
        return Simple(XTok::OBrace);
    case '}':
        return Simple(XTok::CBrace);
    case '[':
        return Simple(XTok::OBracket);
    case ']':
        return Simple(XTok::CBracket);
    case '(':
        return Simple(XTok::OParen);
    case ')':
        return Simple(XTok::CParen);
    case '.':
        return Simple(XTok::Dot);
    case ',':
        return Simple(XTok::Comma);
    case ';':
        return Simple(XTok::Semicolon);
    default:
        --m_pos;
        Fail("unexpected character");
    }
}

// Digits with an optional sign, fraction and exponent; also the NaN spellings some writers
// produce ("-1.#IND00", "1.#QNAN0"), which read as 0.
XToken XFileTokenizer::TextNumber() {
    const qsizetype start = m_pos;
    bool isInteger = true;
    if (m_data[m_pos] == '-' || m_data[m_pos] == '+') {
        isInteger = false;
        ++m_pos;
    }
    auto digits = [this] {
        const qsizetype from = m_pos;
        while (m_pos < m_size && IsDigit(m_data[m_pos])) {
            ++m_pos;
        }
        return m_pos - from;
    };
    qsizetype mantissaDigits = digits();
    if (m_pos < m_size && m_data[m_pos] == '.') {
        isInteger = false;
        ++m_pos;
        if (m_pos < m_size && m_data[m_pos] == '#') {
            while (m_pos < m_size && (IsNameChar(m_data[m_pos]) || m_data[m_pos] == '#')) {
                ++m_pos;
            }
            return XToken{XTok::Float, {}, 0.0, 0.0f};
        }
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0) {
        Fail("malformed number");
    }
    if (m_pos < m_size && (m_data[m_pos] == 'e' || m_data[m_pos] == 'E')) {
        isInteger = false;
        ++m_pos;
        if (m_pos < m_size && (m_data[m_pos] == '-' || m_data[m_pos] == '+')) {
            ++m_pos;
        }
        if (digits() == 0) {
            Fail("malformed exponent");
        }
    }
    const char* first = m_data + start + (m_data[start] == '+' ? 1 : 0);
    const char* last = m_data + m_pos;
    XToken t;
    uint64_t value = 0;
    if (isInteger) {
        // Digits beyond 32 bits still make a valid coordinate; they read as a float.
        const auto r = std::from_chars(first, last, value);
        isInteger = r.ec == std::errc() && r.ptr == last && value <= 0xFFFFFFFFu;
    }
    if (isInteger) {
        t.kind = XTok::Integer;
        t.number = static_cast<double>(value);
        t.single = static_cast<float>(value);
        return t;
    }
    const auto r = std::from_chars(first, last, t.number);
    if (r.ec != std::errc() || r.ptr != last) {
        Fail("malformed number");
    }
    if (std::from_chars(first, last, t.single).ec != std::errc()) {
        t.single = static_cast<float>(t.number); // beyond float range: overflow or underflow
    }
    t.kind = XTok::Float;
    return t;
}

XToken XFileTokenizer::TextName() {
    const qsizetype start = m_pos;
    while (m_pos < m_size && IsNameChar(m_data[m_pos])) {
        ++m_pos;
    }
    XToken t;
    t.text = QByteArray(m_data + start, m_pos - start);
    if (t.text.compare("template", Qt::CaseInsensitive) == 0) {
        t.kind = XTok::Template;
    } else if (t.text.compare("array", Qt::CaseInsensitive) == 0) {
        t.kind = XTok::Array;
    } else {
        t.kind = XTok::Name;
    }
    return t;
}

XToken XFileTokenizer::TextString() {
    const qsizetype start = ++m_pos;
    while (m_pos < m_size && m_data[m_pos] != '"') {
        ++m_pos;
    }
    if (m_pos >= m_size) {
        Fail("unterminated string");
    }
    XToken t;
    t.kind = XTok::String;
    t.text = QByteArray(m_data + start, m_pos - start);
    ++m_pos;
    return t;
}

// "<8-4-4-4-12 hex digits>", spaces inside tolerated.
XToken XFileTokenizer::TextGuid() {
    ++m_pos;
    QByteArray text;
    while (m_pos < m_size && m_data[m_pos] != '>') {
        const char c = m_data[m_pos++];
        if (!IsSpace(c)) {
            text.append(c);
        }
        if (text.size() > kMaxGuidText) {
            Fail("malformed GUID");
        }
    }
    if (m_pos >= m_size) {
        Fail("unterminated GUID");
    }
    ++m_pos;
    static const int kGroups[] = {8, 4, 4, 4, 12};
    const QList<QByteArray> groups = text.split('-');
    bool valid = groups.size() == 5;
    for (int i = 0; valid && i < 5; ++i) {
        valid = groups[i].size() == kGroups[i] &&
                std::all_of(groups[i].begin(), groups[i].end(), IsHexDigit);
    }
    if (!valid) {
        Fail("malformed GUID");
    }
    XToken t;
    t.kind = XTok::Guid;
    t.text = text;
    return t;
}

// --- Binary -------------------------------------------------------------------------------

uint32_t XFileTokenizer::ReadU32() {
    if (m_size - m_pos < 4) {
        Fail("truncated token");
    }
    uint32_t v = 0;
    std::memcpy(&v, m_data + m_pos, 4); // the file and every supported host are little-endian
    m_pos += 4;
    return v;
}

QByteArray XFileTokenizer::ReadBytes(uint32_t count) {
    if (static_cast<uint64_t>(m_size - m_pos) < count) {
        Fail("truncated token");
    }
    QByteArray bytes(m_data + m_pos, count);
    m_pos += count;
    return bytes;
}

XToken XFileTokenizer::NextListElement() {
    --m_listLeft;
    XToken t;
    t.kind = m_listKind;
    if (m_listKind == XTok::Integer) {
        t.number = ReadU32();
    } else if (m_doubleFloats) {
        double d = 0;
        std::memcpy(&d, m_data + m_pos, 8); // the length was checked when the list began
        m_pos += 8;
        t.number = d;
    } else {
        float f = 0;
        std::memcpy(&f, m_data + m_pos, 4);
        m_pos += 4;
        t.number = f;
    }
    t.single = static_cast<float>(t.number);
    return t;
}

uint16_t XFileTokenizer::PeekId() const {
    return static_cast<uint16_t>(static_cast<unsigned char>(m_data[m_pos]) |
                                 (static_cast<unsigned char>(m_data[m_pos + 1]) << 8));
}

// Opens an integer or float list when one comes next; false for any other token.
bool XFileTokenizer::StartList() {
    if (m_size - m_pos < 2) {
        return false;
    }
    const uint16_t id = PeekId();
    if (id != xfile::TOKEN_INTEGER_LIST && id != xfile::TOKEN_FLOAT_LIST) {
        return false;
    }
    m_pos += 2;
    const uint32_t count = ReadU32();
    const uint64_t width = (id == xfile::TOKEN_FLOAT_LIST && m_doubleFloats) ? 8 : 4;
    if (static_cast<uint64_t>(m_size - m_pos) < count * width) {
        Fail("list longer than the data");
    }
    m_listKind = id == xfile::TOKEN_INTEGER_LIST ? XTok::Integer : XTok::Float;
    m_listLeft = count;
    return true;
}

XToken XFileTokenizer::NextBinary() {
    // Empty lists are skipped in a loop: a run of them must not deepen the stack.
    for (;;) {
        if (m_listLeft > 0) {
            return NextListElement();
        }
        if (!StartList()) {
            break;
        }
    }
    if (m_pos >= m_size) {
        return Simple(XTok::End);
    }
    if (m_size - m_pos < 2) {
        Fail("truncated token");
    }
    const uint16_t id = PeekId();
    m_pos += 2;
    using namespace xfile;
    XToken t;
    switch (id) {
    case TOKEN_NAME:
    case TOKEN_STRING:
        t.kind = id == TOKEN_NAME ? XTok::Name : XTok::String;
        t.text = ReadBytes(ReadU32());
        return t;
    case TOKEN_INTEGER:
        t.kind = XTok::Integer;
        t.number = ReadU32();
        t.single = static_cast<float>(t.number);
        return t;
    case TOKEN_GUID:
        t.kind = XTok::Guid;
        t.text = ReadBytes(16);
        return t;
    case TOKEN_OBRACE:
        return Simple(XTok::OBrace);
    case TOKEN_CBRACE:
        return Simple(XTok::CBrace);
    case TOKEN_OPAREN:
        return Simple(XTok::OParen);
    case TOKEN_CPAREN:
        return Simple(XTok::CParen);
    case TOKEN_OBRACKET:
        return Simple(XTok::OBracket);
    case TOKEN_CBRACKET:
        return Simple(XTok::CBracket);
    case TOKEN_OANGLE:
        return Simple(XTok::OAngle);
    case TOKEN_CANGLE:
        return Simple(XTok::CAngle);
    case TOKEN_DOT:
        return Simple(XTok::Dot);
    case TOKEN_COMMA:
        return Simple(XTok::Comma);
    case TOKEN_SEMICOLON:
        return Simple(XTok::Semicolon);
    case TOKEN_TEMPLATE:
        return Simple(XTok::Template);
    case TOKEN_ARRAY:
        return Simple(XTok::Array);
    default:
        if (id >= TOKEN_WORD && id <= TOKEN_CSTRING) {
            return Simple(XTok::TypeKeyword);
        }
        m_pos -= 2;
        Fail("unknown binary token");
    }
}

} // namespace vm
