// The feature-set block reader on arbitrary bytes: it either fills the set, or raises an
// archive failure (early end) or an invalid-argument failure (parents, segment ends), and every
// point it returns is consistent with its features.
#include "document/FeatureSetBlock.h"
#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    vm::Archive archive(buffer, vm::Archive::Mode::Load);
    vm::FeatureSet set;
    try {
        vm::ReadFeatureSetBlock(archive, set);
    } catch (const vm::ArchiveException&) {
        return 0;
    } catch (const vm::InvalidArgumentException&) {
        return 0;
    }
    for (int p = 0; p < vm::kPhotoCount; ++p) {
        for (const auto& feature : set.features[p]) {
            for (const auto& [a, b] : feature.segments) {
                if (a < 0 || b < 0 || static_cast<size_t>(a) >= set.points[p].size() ||
                    static_cast<size_t>(b) >= set.points[p].size()) {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
