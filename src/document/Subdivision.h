#pragma once
// Table-driven Loop subdivision: reading and writing the stage tables, attaching the crease
// lists of the subdivision options, and refining a mesh once with a stage.
#include "document/SubdivisionStage.h"
#include "platform/mesh/Mesh.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace vm {

// Embedded tables: stage 1 refines the 479-vertex base mesh, stage 2 refines stage 1's output.
inline const QString kStage1Resource = QStringLiteral(":/data/stage1.bin");
inline const QString kStage2Resource = QStringLiteral(":/data/stage2.bin");

// Base-mesh vertices that the subdivision options turn into creases; each list ends with -1.
extern const int32_t kSharpenNoseList[];
extern const int32_t kSharpenLipsList[];
extern const int32_t kSharpenEyebrowList[];

// The stored form: uint32 L, L links, uint32 R, R rules, uint32 I, I uint16 indices.
// Decoding keeps the stage's crease lists and throws ArchiveException when the bytes end early
// or hold more than the counts announce.
void DecodeSubdivisionStage(const QByteArray& bytes, SubdivisionStage& stage);
QByteArray EncodeSubdivisionStage(const SubdivisionStage& stage);

// Marks the stage's crease lists: every listed vertex becomes sharp and every edge rule
// touching one becomes a crease (wing c := wing d). inputVertexCount is N, the number of
// vertex rules. A listed vertex not below the rule count throws InvalidArgumentException.
void ApplyCreaseLists(SubdivisionStage& stage, uint32_t inputVertexCount);

// Reads the table from bytes or from an embedded resource into stage (its crease lists stay
// attached) and applies the crease lists. A missing resource throws ResultException.
void LoadSubdivisionStage(const QByteArray& bytes, SubdivisionStage& stage,
                          uint32_t inputVertexCount);
void LoadSubdivisionStage(const QString& resourcePath, SubdivisionStage& stage,
                          uint32_t inputVertexCount);

// The input mesh refined once: R vertices mixed by the stage's rules, 4F triangles from the
// stage's index list. Every rule index is validated (InvalidArgumentException), so a table
// that does not belong to the mesh is refused instead of read out of bounds.
Mesh ApplySubdivisionStage(const SubdivisionStage& stage, const Mesh& input);

} // namespace vm
