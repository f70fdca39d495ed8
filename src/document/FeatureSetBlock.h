#pragma once
// The feature-set block: both photos' feature points and features as the default feature set
// resource and the document file store them.
#include "document/FeatureSet.h"
#include "platform/core/Archive.h"

namespace vm {

// Replaces both photos' points and features with the block's, and rebuilds each feature's
// children and each point's segmentsByFeature. A parent that is neither -1 nor a feature of
// the same photo, or a segment end that is not a point of it, throws InvalidArgumentException;
// a block that ends early throws ArchiveException(EndOfFile). On failure the set is unchanged.
void ReadFeatureSetBlock(Archive& archive, FeatureSet& set);

// Writes exactly the stored fields: points (vertex, level), then features (name, parent,
// level, segments), front photo first.
void WriteFeatureSetBlock(Archive& archive, const FeatureSet& set);
void WriteFeatureSetBlock(Archive& archive, const std::vector<FeaturePoint> (&points)[kPhotoCount],
                          const std::vector<Feature> (&features)[kPhotoCount]);

} // namespace vm
