#include "export/ObjWriter.h"

#include "platform/core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vm {
namespace {

TEST(FormatG, MatchesPrintfWithThreeExponentDigits) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, "0"},
        {-0.5f, "-0.5"},
        {0.1f, "0.1"},
        {1.5e-5f, "1.5e-005"},
        {1e-5f, "1e-005"},
        {0.0001f, "0.0001"},
        {100000.f, "100000"},
        {1e6f, "1e+006"},
        {123456789.f, "1.23457e+008"},
        {1e-40f, "9.99995e-041"},
        {3.4e38f, "3.4e+038"},
        {3.14159274f, "3.14159"},
        {-238.3998f, "-238.4"},
        {342.09637f, "342.096"},
        {0.33333334f, "0.333333"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(FormatG(value), QByteArray(text)) << value;
    }
}

TEST(ExportNames, CompanionsLieBesideTheObj) {
    ExportNames n = MakeExportNames("/home/u/out/face.obj");
    EXPECT_EQ(n.mtlName, "face.mtl");
    EXPECT_EQ(n.jpegName, "face.jpg");
    EXPECT_EQ(n.mtlPath, "/home/u/out/face.mtl");
    EXPECT_EQ(n.jpegPath, "/home/u/out/face.jpg");

    n = MakeExportNames("out/a.b.obj"); // several dots: only the last extension goes
    EXPECT_EQ(n.mtlPath, "out/a.b.mtl");
    EXPECT_EQ(n.jpegPath, "out/a.b.jpg");

    n = MakeExportNames("face.obj"); // no folder: beside the OBJ, not at the root
    EXPECT_EQ(n.mtlPath, "face.mtl");
    EXPECT_EQ(n.jpegPath, "face.jpg");

    n = MakeExportNames("/face.obj");
    EXPECT_EQ(n.jpegPath, "/face.jpg");

    n = MakeExportNames("my.dir/head"); // a dot in the folder is not an extension
    EXPECT_EQ(n.mtlName, "head.mtl");
    EXPECT_EQ(n.jpegPath, "my.dir/head.jpg");
}

Mesh TwoTriangles() {
    Mesh mesh;
    mesh.vertices.resize(4);
    const float positions[4][3] = {{0, 0, 0}, {1.5e-5f, 2, -3}, {100, 1e6f, 0.5f}, {1, 1, 1}};
    const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0.25f, 0.75f}};
    for (int i = 0; i < 4; ++i) {
        mesh.vertices[i].position = {positions[i][0], positions[i][1], positions[i][2]};
        mesh.vertices[i].modelUV = {uvs[i][0], uvs[i][1]};
        mesh.vertices[i].frontUV = {9, 9}; // never written
    }
    mesh.indices = {0, 1, 2, 2, 3, 0};
    mesh.attributes = {0, 0};
    return mesh;
}

TEST(ObjText, IsExactToTheByte) {
    const QByteArray expected = "mtllib face.mtl\r\n"
                                "v 0 0 0\r\n"
                                "v 1.5e-005 2 -3\r\n"
                                "v 100 1e+006 0.5\r\n"
                                "v 1 1 1\r\n"
                                "vt 0 0\r\n"
                                "vt 1 0\r\n"
                                "vt 1 1\r\n"
                                "vt 0.25 0.75\r\n"
                                "usemtl head\r\n"
                                "f 1/1 2/2 3/3\r\n"
                                "usemtl head\r\n"
                                "f 3/3 4/4 1/1\r\n";
    EXPECT_EQ(ObjText(TwoTriangles(), "face.mtl"), expected);
}

TEST(MtlText, IsExactToTheByte) {
    EXPECT_EQ(MtlText("a.b.jpg"), QByteArray("newmtl head\r\nKa 0 0 0\r\nKd 1 1 1\r\nKs 0 0 0\r\n"
                                             "illum 2\r\nNs 8\r\nmap_Kd a.b.jpg\r\n"));
}

void ExpectOpenFailure(const QString& folder) {
    const QString obj = folder + "/face.obj", mtl = folder + "/face.mtl";
    try {
        WriteObj(TwoTriangles(), obj, "face.mtl");
        FAIL() << "no failure for " << obj.toStdString();
    } catch (const MessageException& e) {
        // The system's reason follows the path.
        EXPECT_TRUE(e.Message().startsWith("Error opening file for writing:\r\n" + obj + "\r\n"))
            << e.Message().toStdString();
    }
    try {
        WriteMtl(mtl, "face.jpg");
        FAIL() << "no failure for " << mtl.toStdString();
    } catch (const MessageException& e) {
        // The system's reason follows the path.
        EXPECT_TRUE(e.Message().startsWith("Error opening file for writing:\r\n" + mtl + "\r\n"))
            << e.Message().toStdString();
    }
}

TEST(WriteObj, UnwritableFolderGivesTheMessageAndWritesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A "folder" that is a file refuses everyone, the superuser included.
    const QString notAFolder = dir.filePath("plain");
    QFile(notAFolder).open(QIODevice::WriteOnly);
    ExpectOpenFailure(notAFolder);
    if (geteuid() != 0) {
        const QString locked = dir.filePath("locked");
        ASSERT_TRUE(QDir().mkdir(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        ExpectOpenFailure(locked);
        EXPECT_TRUE(QDir(locked).isEmpty());
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
}

TEST(WriteObj, ReplacesAnExistingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("face.obj");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    WriteObj(TwoTriangles(), path, "face.mtl");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), ObjText(TwoTriangles(), "face.mtl"));
}

} // namespace
} // namespace vm
