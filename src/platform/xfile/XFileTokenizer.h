#pragma once
// Splits the body of an uncompressed .x file (text or binary) into one stream of tokens.
// Binary integer and float lists come out one element at a time, so the parser sees the same
// numbers whichever encoding the file uses.
#include <QByteArray>
#include <cstdint>

namespace vm {

enum class XTok {
    End,
    Name,
    String,
    Integer, // unsigned 32-bit value
    Float,   // any other number
    Guid,
    OBrace,
    CBrace,
    OBracket,
    CBracket,
    OParen,
    CParen,
    OAngle,
    CAngle,
    Dot,
    Comma,
    Semicolon,
    Template,
    Array,
    TypeKeyword, // WORD, DWORD, FLOAT, ... in binary templates
};

struct XToken {
    XTok kind = XTok::End;
    QByteArray text; // Name and String
    double number = 0;
    float single = 0; // the number read as a float directly (text: no double rounding)
};

class XFileTokenizer {
public:
    // data must outlive the tokenizer. doubleFloats: binary float lists hold 8-byte values.
    XFileTokenizer(const char* data, qsizetype size, bool binary, bool doubleFloats);

    // Throws XFileException on bytes that form no token.
    XToken Next();
    // Bytes not yet consumed: every further number needs at least one of them.
    qsizetype BytesLeft() const { return m_size - m_pos; }
    // Byte position in the body, for messages.
    qsizetype Position() const { return m_pos; }

private:
    XToken NextText();
    XToken NextBinary();
    XToken NextListElement();
    uint16_t PeekId() const;
    bool StartList();
    XToken TextNumber();
    XToken TextName();
    XToken TextString();
    XToken TextGuid();
    void SkipTextSpaceAndComments();
    uint32_t ReadU32();
    QByteArray ReadBytes(uint32_t count);
    [[noreturn]] void Fail(const char* what) const;

    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    bool m_binary;
    bool m_doubleFloats;
    // An open binary list: its kind and the elements still to hand out.
    XTok m_listKind = XTok::End;
    uint32_t m_listLeft = 0;
};

} // namespace vm
