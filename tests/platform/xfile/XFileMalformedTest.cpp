// Malformed .x input: every case ends in the invalid-data failure, never in a crash, a hang or
// an allocation the data cannot justify.
#include "platform/xfile/XFileReader.h"
#include "platform/xfile/XFileTestMeshes.h"
#include "platform/xfile/XFileWriter.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

void ExpectInvalid(const QByteArray& bytes, const char* why) {
    try {
        ReadXFile(bytes);
        ADD_FAILURE() << "accepted: " << why;
    } catch (const XFileException& e) {
        EXPECT_EQ(e.Code(), hr::kXInvalidData) << why;
        EXPECT_FALSE(e.Detail().isEmpty()) << why;
    }
}

QByteArray Text(const char* body) {
    return QByteArray("xof 0303txt 0032") + body;
}

QByteArray Compressed(uint32_t columns = 20, uint32_t rows = 20) {
    return WriteXFile(test::GridMesh(columns, rows), XFileWriteOptions{});
}

void PutU16(QByteArray& bytes, qsizetype at, uint32_t v) {
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>(v >> 8);
}

TEST(XFileMalformedTest, BadHeaders) {
    const char* const kHeaders[] = {
        "xof 0303txt 003",
        "xof 0304txt 0032",
        "xof 0303cmp 0032",
        "xof 0303txt 0016",
        "xyz 0303txt 0032",
        "XOF 0303txt 0032",
        "",
    };
    for (const char* header : kHeaders) {
        ExpectInvalid(QByteArray(header) + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; }",
                      header);
    }
    ExpectInvalid(QByteArray("xof 0303txt 0032"), "header only: no mesh");
}

TEST(XFileMalformedTest, BrokenCompressedContainers) {
    const QByteArray good = Compressed(60, 50); // several blocks
    ASSERT_NO_THROW(ReadXFile(good));
    ExpectInvalid(good.left(18), "size field cut");
    ExpectInvalid(good.left(good.size() / 2), "truncated deflate data");
    ExpectInvalid(good.left(good.size() - 1), "last block one byte short");
    ExpectInvalid(good + QByteArray(3, '\0'), "partial block header at the end");

    QByteArray noSignature = good;
    noSignature[24] = 'X';
    ExpectInvalid(noSignature, "block without CK");

    QByteArray corrupt = good;
    for (int i = 26; i < 40; ++i) {
        corrupt[i] = static_cast<char>(0xFF); // reserved block type 3
    }
    ExpectInvalid(corrupt, "corrupt deflate data");

    QByteArray wrongTotal = good;
    wrongTotal[16] = static_cast<char>(wrongTotal[16] + 1);
    ExpectInvalid(wrongTotal, "size field one more than the data");

    QByteArray blockTooBig = good;
    PutU16(blockTooBig, 20, 32769);
    ExpectInvalid(blockTooBig, "block announces more than 32 KiB");

    QByteArray blockSizeLies = good;
    PutU16(blockSizeLies, 20, 32767);
    ExpectInvalid(blockSizeLies, "block inflates to more than announced");

    QByteArray packedBeyondEnd = Compressed(3, 3);
    PutU16(packedBeyondEnd, 22, 0xFFFF);
    ExpectInvalid(packedBeyondEnd, "packed size beyond the end");
}

TEST(XFileMalformedTest, CountsBeyondTheData) {
    ExpectInvalid(Text("Mesh { 4000000000; 0;0;0;; 1; 3;0,0,0;; }"), "vertex count");
    ExpectInvalid(Text("Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 2000000000; 3;0,1,2;; }"), "face count");
    ExpectInvalid(Text("Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 4000000000;0,1,2;; }"), "corner count");
    ExpectInvalid(Text("Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;;"
                       " MeshVertexColors { 99999999; 0;1;1;1;1;;; } }"),
                  "colour count");
    ExpectInvalid(Text("Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;;"
                       " MeshMaterialList { 5; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }"
                       " } }"),
                  "more materials counted than given");
    ExpectInvalid(Text("Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;;"
                       " FVFData { 258; 7; 0,0,0,0,0,0,0; } }"),
                  "FVFData size against the vertices");
    // Binary lists announce their length: a huge count must fail before anything is sized.
    QByteArray binary("xof 0303bin 0032");
    binary.append("\x01\x00\x04\x00\x00\x00Mesh\x0A\x00\x06\x00\xFF\xFF\xFF\x3F\x01\x00\x00\x00",
                  22);
    ExpectInvalid(binary, "integer list longer than the file");
    QByteArray name("xof 0303bin 0032\x01\x00\xFF\xFF\xFF\xFF", 22);
    ExpectInvalid(name, "name longer than the file");
}

TEST(XFileMalformedTest, IndicesAndCountsThatDisagree) {
    const char* const kCases[] = {
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,3;; }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 2;0,1;; }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, "
        "3;0,0,0;; } }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 2; 0;0;, 1;1;; } }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshVertexColors { 1; 3;1;1;1;1;;; } }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 1;; "
        "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 2; 0,0;; "
        "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0.5,1,2;; }",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; DeclData { 1; 99;0;5;1;; 0; } }",
        "Mesh { 0; 0; }",
    };
    for (const char* body : kCases) {
        ExpectInvalid(Text(body), body);
    }
}

TEST(XFileMalformedTest, SyntaxErrors) {
    const char* const kCases[] = {
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;;",             // ends inside the object
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; \"open",      // unterminated string
        "Mesh 3; }",                                                // no brace
        "template Vector { <3d82ab5e-62da-11cf> FLOAT x; }",        // short GUID
        "template Vector { FLOAT x;",                               // unterminated template
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; { } }",       // empty reference
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; } ]",         // stray bracket
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,99999999999;; }", // beyond 32 bits
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; } @",
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; } 1e",
    };
    for (const char* body : kCases) {
        ExpectInvalid(Text(body), body);
    }
    // A number too long for 32 bits is still a fine coordinate.
    EXPECT_NO_THROW(ReadXFile(Text("Mesh { 3; 99999999999;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; }")));
}

TEST(XFileMalformedTest, NestingTooDeepIsRefusedNotFollowed) {
    QByteArray body;
    for (int i = 0; i < 100000; ++i) {
        body += "Frame{";
    }
    ExpectInvalid(Text(body.constData()), "deep frames");
    QByteArray shallow;
    for (int i = 0; i < 10; ++i) {
        shallow += "Frame{";
    }
    shallow += "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; }";
    for (int i = 0; i < 10; ++i) {
        shallow += "}";
    }
    EXPECT_EQ(ReadXFile(Text(shallow.constData())).mesh.FaceCount(), 1u);
}

TEST(XFileMalformedTest, ManyEmptyBinaryListsDoNotDeepenTheStack) {
    QByteArray b("xof 0303bin 0032");
    for (int i = 0; i < 200000; ++i) {
        b.append("\x06\x00\x00\x00\x00\x00", 6);
    }
    ExpectInvalid(b, "only empty lists");
}

} // namespace
} // namespace vm
