#include "platform/xfile/XFileParser.h"

#include "platform/xfile/XFileFormat.h"

namespace vm {
namespace {

class Parser {
public:
    explicit Parser(XFileTokenizer& tokens) : m_tokens(tokens) {}

    std::vector<XObject> Parse() {
        std::vector<XObject> objects;
        for (;;) {
            XToken t = m_tokens.Next();
            switch (t.kind) {
            case XTok::End:
                return objects;
            case XTok::Template:
                SkipTemplate();
                break;
            case XTok::Semicolon:
            case XTok::Comma:
                break;
            case XTok::Name: {
                objects.push_back(XObject{t.text, {}, {}, 0});
                XObject* keep = IsInterpretedXType(t.text) ? &objects.back() : nullptr;
                ParseObject(keep, 1);
                break;
            }
            default:
                Fail("unexpected token at the top level");
            }
        }
    }

private:
    [[noreturn]] void Fail(const char* what) const {
        throw XFileException(QStringLiteral("%1 (byte %2 of the body)")
                                 .arg(QLatin1String(what))
                                 .arg(m_tokens.Position()));
    }

    // "template Name { <guid> members [option] }": no braces may appear inside.
    void SkipTemplate() {
        if (m_tokens.Next().kind != XTok::Name || m_tokens.Next().kind != XTok::OBrace) {
            Fail("malformed template header");
        }
        for (;;) {
            const XTok kind = m_tokens.Next().kind;
            if (kind == XTok::CBrace) {
                return;
            }
            if (kind == XTok::End || kind == XTok::OBrace || kind == XTok::Template) {
                Fail("unterminated template");
            }
        }
    }

    // "{ name }", "{ <guid> }" or "{ name <guid> }" after the opening brace.
    void SkipReference() {
        for (int i = 0;; ++i) {
            const XTok kind = m_tokens.Next().kind;
            if (kind == XTok::CBrace && i > 0) {
                return;
            }
            if (i >= 2 || (kind != XTok::Name && kind != XTok::Guid)) {
                Fail("malformed reference");
            }
        }
    }

    // After the type name: [name] { [<guid>] values... children... }. into == nullptr drops
    // the content.
    void ParseObject(XObject* into, int depth) {
        if (depth > kMaxXObjectDepth) {
            Fail("objects nested too deep");
        }
        XToken t = m_tokens.Next();
        if (t.kind == XTok::Name) {
            t = m_tokens.Next();
        }
        if (t.kind != XTok::OBrace) {
            Fail("expected { after an object's type");
        }
        for (;;) {
            t = m_tokens.Next();
            switch (t.kind) {
            case XTok::CBrace:
                return;
            case XTok::Integer:
            case XTok::Float:
                if (into) {
                    into->values.push_back(XValue{t.number, t.single, t.kind == XTok::Integer});
                }
                break;
            case XTok::String:
            case XTok::Guid:
            case XTok::Semicolon:
            case XTok::Comma:
                break;
            case XTok::OBrace:
                SkipReference();
                if (into) {
                    ++into->references;
                }
                break;
            case XTok::Name:
                ParseChild(into, t.text, depth);
                break;
            case XTok::End:
                Fail("data ends inside an object");
            default:
                Fail("unexpected token inside an object");
            }
        }
    }

    void ParseChild(XObject* parent, const QByteArray& type, int depth) {
        if (!parent) {
            ParseObject(nullptr, depth + 1);
            return;
        }
        parent->children.push_back(XObject{type, {}, {}, 0});
        XObject* keep = IsInterpretedXType(type) ? &parent->children.back() : nullptr;
        ParseObject(keep, depth + 1);
    }

    XFileTokenizer& m_tokens;
};

} // namespace

bool IsInterpretedXType(const QByteArray& type) {
    static const char* const kTypes[] = {
        "Mesh",
        "MeshNormals",
        "MeshTextureCoords",
        "MeshVertexColors",
        "MeshMaterialList",
        "FVFData",
        "DeclData",
        "Frame",
        "FrameTransformMatrix",
    };
    for (const char* known : kTypes) {
        if (type.compare(known, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<XObject> ParseXFileBody(XFileTokenizer& tokens) {
    return Parser(tokens).Parse();
}

} // namespace vm
