#include "document/HeadResources.h"

#include "document/FeatureSetBlock.h"
#include "platform/core/Archive.h"
#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <QFile>

namespace vm {

QByteArray ReadResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw ResultException(kResourceNotFound);
    }
    return file.readAll();
}

FeatureSet LoadFeatureSet(const QByteArray& block) {
    QBuffer buffer;
    buffer.setData(block);
    buffer.open(QIODevice::ReadOnly);
    Archive archive(buffer, Archive::Mode::Load);
    FeatureSet set;
    ReadFeatureSetBlock(archive, set);
    if (archive.BytesLeft() != 0) {
        throw ArchiveException(ArchiveException::Cause::BadFormat,
                               QStringLiteral("feature set longer than its counts"));
    }
    return set;
}

FeatureSet LoadDefaultFeatureSet() {
    return LoadFeatureSet(ReadResource(kFeatureSetResource));
}

} // namespace vm
