#include "export/ExportModel.h"

#include "document/CVisomorfDoc.h"
#include "export/ExportMesh.h"
#include "export/UVGeometry.h"
#include "platform/core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace vm {
namespace {

struct NewHead : ::testing::Test {
    CVisomorfDoc doc;
    QTemporaryDir dir;
    void SetUp() override { ASSERT_TRUE(doc.OnNewDocument()); }
    Mesh ExportMeshAt(int32_t detail) {
        doc.modelDetail = detail;
        doc.RebuildDisplayMesh();
        return BuildExportMesh(*doc.displayedMesh, *doc.editableMesh);
    }
};

using ExportOfTheHead = NewHead;

TEST_F(ExportOfTheHead, BaseLayoutHasNoOverlapsToBeginWith) {
    // The check below is only meaningful if the generic layout itself is clean.
    EXPECT_EQ(CountOverlappingPairs(*doc.editableMesh, 1e-7f), 0u);
}

TEST_F(ExportOfTheHead, RefinedTrianglesTileTheirBaseTriangleAndNeverOverlap) {
    const Mesh& base = *doc.editableMesh;
    for (int32_t detail : {Medium, High}) {
        const Mesh out = ExportMeshAt(detail);
        ASSERT_EQ(out.FaceCount(), base.FaceCount() << (2 * detail));
        for (uint32_t f = 0; f < out.FaceCount(); ++f) {
            const UVTriangle place = FaceUV(base, f >> (2 * detail));
            for (const Vec2& corner : FaceUV(out, f).corners) {
                ASSERT_TRUE(InsideTriangle(place, corner, 1e-6f))
                    << "detail " << detail << " face " << f;
            }
        }
        EXPECT_EQ(CountOverlappingPairs(out, 1e-7f), 0u) << "detail " << detail;
    }
}

TEST_F(ExportOfTheHead, TheSharedRefinementRuleWouldThrowSliversAcrossTheAtlas) {
    // What the table rule gives modelUV on its own: refined triangles that leave their base
    // triangle's place. The export must not pass these on.
    doc.modelDetail = Medium;
    doc.RebuildDisplayMesh();
    const Mesh& refined = *doc.displayedMesh;
    uint32_t outside = 0;
    for (uint32_t f = 0; f < refined.FaceCount(); ++f) {
        for (const Vec2& corner : FaceUV(refined, f).corners) {
            if (!InsideTriangle(FaceUV(*doc.editableMesh, f >> 2), corner, 1e-6f)) {
                ++outside;
            }
        }
    }
    EXPECT_GT(outside, 0u);
}

TEST_F(ExportOfTheHead, EveryVertexIsDistinctAfterTheWeld) {
    for (int32_t detail : {Low, Medium, High}) {
        const Mesh out = ExportMeshAt(detail);
        std::set<std::string> distinct;
        for (const HeadVertex& v : out.vertices) {
            distinct.insert(std::string(reinterpret_cast<const char*>(&v), sizeof v));
        }
        EXPECT_EQ(distinct.size(), out.vertices.size()) << "detail " << detail;
    }
    EXPECT_EQ(ExportMeshAt(Low).VertexCount(), 479u); // Low exports the head itself
}

TEST_F(ExportOfTheHead, DetailIsSwitchedForTheExportAndRestoredAfterwards) {
    doc.modelDetail = High;
    doc.RebuildDisplayMesh();
    doc.SetModifiedFlag(false);
    const auto highMesh = doc.displayedMesh;
    ExportOptions options;
    options.width = options.height = 64;
    ExportDocument(doc, dir.filePath("m.obj"), Medium, options);
    EXPECT_EQ(doc.modelDetail, High);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 7373u);
    EXPECT_FALSE(doc.IsModified());
    QFile obj(dir.filePath("m.obj"));
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_EQ(obj.readAll().count("\r\nf "), 3664);

    // Also when the export fails (here: the OBJ's folder does not exist).
    doc.SetModifiedFlag(true);
    options.width = options.height = 128;
    EXPECT_THROW(ExportDocument(doc, dir.filePath("nofolder/x.obj"), Low, options),
                 MessageException);
    EXPECT_EQ(doc.modelDetail, High);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 7373u);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ExportOfTheHead, FailingTextureReportsTheJpegPathAndWritesNothing) {
    ExportOptions options;
    options.width = options.height = 64;
    QDir().mkdir(dir.filePath("face.jpg")); // a folder where the texture should go
    try {
        ExportDocument(doc, dir.filePath("face.obj"), Low, options);
        FAIL();
    } catch (const MessageException& e) {
        EXPECT_EQ(e.Message(), "Error saving texture:\r\n" + dir.filePath("face.jpg") +
                                   "\r\nIt is a folder, not a file.");
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("face.obj")));
    EXPECT_FALSE(QFile::exists(dir.filePath("face.mtl")));
}

TEST_F(ExportOfTheHead, TargetFailuresComeFirstAndNothingFollowsThem) {
    // The targets are checked before the texture bakes; the named file's failure wins.
    ExportOptions options;
    options.width = options.height = 64;
    QDir().mkdir(dir.filePath("head.obj"));
    QDir().mkdir(dir.filePath("head.jpg"));
    try {
        ExportDocument(doc, dir.filePath("head.obj"), High, options);
        FAIL();
    } catch (const MessageException& e) {
        EXPECT_EQ(e.Message(), "Error opening file for writing:\r\n" + dir.filePath("head.obj") +
                                   "\r\nIt is a folder, not a file.");
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("head.mtl")));
    // The MTL failing stops the export before anything is written.
    QDir().mkdir(dir.filePath("face.mtl"));
    options.width = options.height = 0; // a texture that fails to bake as well
    try {
        ExportDocument(doc, dir.filePath("face.obj"), Low, options);
        FAIL();
    } catch (const MessageException& e) {
        EXPECT_EQ(e.Message(), "Error opening file for writing:\r\n" + dir.filePath("face.mtl") +
                                   "\r\nIt is a folder, not a file.");
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("face.obj")));
    EXPECT_FALSE(QFile::exists(dir.filePath("face.jpg")));
}

TEST_F(ExportOfTheHead, TextureIsBakedFromThePhotosAtTheChosenSize) {
    ExportOptions options;
    options.width = options.height = 256;
    options.quality = 100;
    ExportDocument(doc, dir.filePath("t.obj"), Low, options);
    QImageReader reader(dir.filePath("t.jpg"));
    const QImage atlas = reader.read();
    ASSERT_EQ(atlas.size(), QSize(256, 256));
    // The new document's blank textures are grey 64; the corners of the atlas are uncovered.
    EXPECT_NEAR(qRed(atlas.pixel(128, 128)), 64, 3);
    EXPECT_NEAR(qRed(atlas.pixel(1, 1)), 255, 3);
}

} // namespace
} // namespace vm
