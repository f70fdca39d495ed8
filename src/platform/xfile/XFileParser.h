#pragma once
// Turns the token stream of a .x body into a tree of data objects. Template declarations are
// checked for shape and skipped: the reader knows the mesh templates it understands.
#include "platform/xfile/XFileTokenizer.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace vm {

struct XValue {
    double number = 0;
    float single = 0;
    bool isInteger = false; // written without sign, fraction or exponent, or an integer record
};

struct XObject {
    QByteArray type;
    // The numbers of the object, in file order; kept only for the types the reader
    // interprets (others are parsed for shape and dropped).
    std::vector<XValue> values;
    std::vector<XObject> children; // children of interpreted objects; others without content
    uint32_t references = 0;       // "{ name }" references among the children
};

// Objects nest at most this deep; deeper input is refused rather than followed.
constexpr int kMaxXObjectDepth = 64;

// Whether the reader interprets objects of this type (case-insensitive, as template names are).
bool IsInterpretedXType(const QByteArray& type);

// Parses the whole body into its top-level data objects. Throws XFileException.
std::vector<XObject> ParseXFileBody(XFileTokenizer& tokens);

} // namespace vm
