#include "document/FeatureSetBlock.h"

#include "platform/core/Exceptions.h"

#include <algorithm>

namespace vm {

namespace {

// Smallest stored sizes: a point is two counts; a feature an empty 8-bit name and three
// counts; a segment two counts.
constexpr qint64 kMinPointBytes = 4;
constexpr qint64 kMinFeatureBytes = 7;
constexpr qint64 kMinSegmentBytes = 4;

// A count read from the block, refused when the bytes left cannot hold that many items, so a
// damaged count never reserves memory the data does not back.
uint32_t ReadItemCount(Archive& archive, qint64 minItemBytes) {
    const uint32_t count = archive.ReadCount();
    if (!archive.Device().isSequential() &&
        static_cast<qint64>(count) * minItemBytes > archive.BytesLeft()) {
        throw ArchiveException(ArchiveException::Cause::EndOfFile);
    }
    return count;
}

// Counts hold -1 as 0xFFFFFFFF; levels and parents are signed.
int32_t ReadSigned(Archive& archive) {
    return static_cast<int32_t>(archive.ReadCount());
}

std::vector<FeaturePoint> ReadPoints(Archive& archive) {
    const uint32_t count = ReadItemCount(archive, kMinPointBytes);
    std::vector<FeaturePoint> points;
    points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        FeaturePoint point;
        point.vertexIndex = archive.ReadCount();
        point.level = ReadSigned(archive);
        points.push_back(std::move(point));
    }
    return points;
}

Feature ReadFeature(Archive& archive, uint32_t pointCount) {
    Feature feature;
    feature.name = archive.ReadString();
    feature.parent = ReadSigned(archive);
    feature.level = ReadSigned(archive);
    const uint32_t segmentCount = ReadItemCount(archive, kMinSegmentBytes);
    feature.segments.reserve(segmentCount);
    for (uint32_t k = 0; k < segmentCount; ++k) {
        const uint32_t a = archive.ReadCount();
        const uint32_t b = archive.ReadCount();
        if (a >= pointCount || b >= pointCount) {
            throw InvalidArgumentException();
        }
        feature.segments.emplace_back(static_cast<int32_t>(a), static_cast<int32_t>(b));
    }
    return feature;
}

std::vector<Feature> ReadFeatures(Archive& archive, uint32_t pointCount) {
    const uint32_t count = ReadItemCount(archive, kMinFeatureBytes);
    std::vector<Feature> features;
    features.reserve(count);
    for (uint32_t j = 0; j < count; ++j) {
        features.push_back(ReadFeature(archive, pointCount));
        const int32_t parent = features.back().parent;
        if (parent != -1 && (parent < 0 || static_cast<uint32_t>(parent) >= count)) {
            throw InvalidArgumentException();
        }
    }
    return features;
}

// The in-memory links the block does not store.
void RebuildLinks(std::vector<FeaturePoint>& points, std::vector<Feature>& features) {
    for (size_t j = 0; j < features.size(); ++j) {
        if (features[j].parent != -1) {
            features[static_cast<size_t>(features[j].parent)].children.push_back(
                static_cast<int32_t>(j));
        }
    }
    for (size_t j = 0; j < features.size(); ++j) {
        const auto& segments = features[j].segments;
        for (size_t k = 0; k < segments.size(); ++k) {
            const auto key = static_cast<int32_t>(j);
            const auto segment = static_cast<int32_t>(k);
            points[static_cast<size_t>(segments[k].first)].segmentsByFeature[key].push_back(
                segment);
            points[static_cast<size_t>(segments[k].second)].segmentsByFeature[key].push_back(
                segment);
        }
    }
}

} // namespace

void ReadFeatureSetBlock(Archive& archive, FeatureSet& set) {
    FeatureSet read;
    for (int p = 0; p < kPhotoCount; ++p) {
        read.points[p] = ReadPoints(archive);
        read.features[p] = ReadFeatures(archive, static_cast<uint32_t>(read.points[p].size()));
        RebuildLinks(read.points[p], read.features[p]);
    }
    for (int p = 0; p < kPhotoCount; ++p) {
        set.points[p] = std::move(read.points[p]);
        set.features[p] = std::move(read.features[p]);
    }
}

void WriteFeatureSetBlock(Archive& archive, const FeatureSet& set) {
    WriteFeatureSetBlock(archive, set.points, set.features);
}

void WriteFeatureSetBlock(Archive& archive, const std::vector<FeaturePoint> (&points)[kPhotoCount],
                          const std::vector<Feature> (&features)[kPhotoCount]) {
    for (int p = 0; p < kPhotoCount; ++p) {
        archive.WriteCount(static_cast<uint32_t>(points[p].size()));
        for (const FeaturePoint& point : points[p]) {
            archive.WriteCount(point.vertexIndex);
            archive.WriteCount(static_cast<uint32_t>(point.level));
        }
        archive.WriteCount(static_cast<uint32_t>(features[p].size()));
        for (const Feature& feature : features[p]) {
            archive.WriteString(feature.name);
            archive.WriteCount(static_cast<uint32_t>(feature.parent));
            archive.WriteCount(static_cast<uint32_t>(feature.level));
            archive.WriteCount(static_cast<uint32_t>(feature.segments.size()));
            for (const auto& [a, b] : feature.segments) {
                archive.WriteCount(static_cast<uint32_t>(a));
                archive.WriteCount(static_cast<uint32_t>(b));
            }
        }
    }
}

} // namespace vm
