// The JSON summary of a document, in process and through `visomorf --info`.
#include "cli/DocumentInfo.h"

#include "document/CVisomorfDoc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace vm {
namespace {

void ExpectNewDocumentSummary(const QJsonObject& info) {
    const QJsonObject detail = info["detail"].toObject();
    EXPECT_EQ(detail["low"].toObject()["vertices"].toInt(), 479);
    EXPECT_EQ(detail["low"].toObject()["faces"].toInt(), 916);
    EXPECT_EQ(detail["medium"].toObject()["vertices"].toInt(), 1861);
    EXPECT_EQ(detail["medium"].toObject()["faces"].toInt(), 3664);
    EXPECT_EQ(detail["high"].toObject()["vertices"].toInt(), 7373);
    EXPECT_EQ(detail["high"].toObject()["faces"].toInt(), 14656);
    EXPECT_EQ(info["points"].toObject()["front"].toInt(), 157);
    EXPECT_EQ(info["points"].toObject()["side"].toInt(), 124);
    EXPECT_NEAR(info["modelOffset"].toObject()["side"].toArray()[0].toDouble(), 289.88235, 1e-3);
    const QJsonArray front = info["box"].toObject()["front"].toArray();
    ASSERT_EQ(front.size(), 4);
    EXPECT_NEAR(front[0].toDouble(), 71.25, 0.01);
    EXPECT_NEAR(front[3].toDouble(), 750, 0.01);
    EXPECT_GT(info["boundingSphere"].toObject()["radius"].toDouble(), 300);
    const QJsonObject zone = info["blendZone"].toObject();
    EXPECT_EQ(zone["width"].toDouble(), 100);
    EXPECT_EQ(zone["points"].toArray().size(), 5);
}

TEST(DocumentInfo, SummarisesANewDocumentAndKeepsItsDetail) {
    CVisomorfDoc doc(2);
    ASSERT_TRUE(doc.OnNewDocument());
    const QJsonObject info = DocumentInfo(doc);
    ExpectNewDocumentSummary(info);
    EXPECT_EQ(info["modelDetail"].toString(), "medium");
    EXPECT_EQ(doc.modelDetail, Medium);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 1861u);
}

TEST(DocumentInfo, CommandLineOptionPrintsTheSummary) {
    QProcess process;
    process.start(VISOMORF_EXE, {"--info"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(process.readAllStandardOutput(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    ExpectNewDocumentSummary(json.object());
}

} // namespace
} // namespace vm
