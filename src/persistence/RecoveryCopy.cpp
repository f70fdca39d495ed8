#include "persistence/RecoveryCopy.h"

#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"
#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vm {

// ---- Schedule ----

RecoverySchedule::Action RecoverySchedule::Poll(qint64 nowMs, bool modified) {
    if (!modified) {
        m_dueMs = -1;
        m_soon = false;
        if (m_copy) {
            m_copy = false;
            return Action::Remove;
        }
        return Action::None;
    }
    if (m_dueMs < 0) {
        m_dueMs = nowMs + m_intervalMs;
    }
    if (m_writing || (!m_soon && nowMs < m_dueMs)) {
        return Action::None;
    }
    m_soon = false;
    m_writing = true;
    m_copy = true;
    m_dueMs = nowMs + m_intervalMs;
    return Action::Write;
}

// ---- Bytes and files ----

const QByteArray& PhotoJpegCache::Encoded(int photo, const QImage& image) {
    const int slot = photo == Front ? 0 : 1;
    if (m_keys[slot] != image.cacheKey() || m_bytes[slot].isEmpty()) {
        // The same writer a save uses, so the copy holds the bytes a save would.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, QByteArrayLiteral("jpeg"));
        if (!writer.write(image)) {
            throw MessageException(
                QStringLiteral("Error saving photo: %1").arg(writer.errorString()));
        }
        m_bytes[slot] = buffer.data();
        m_keys[slot] = image.cacheKey();
    }
    return m_bytes[slot];
}

QByteArray SerialiseDocument(const CVisomorfDoc& doc, PhotoJpegCache* cache) {
    DocumentSource source = SourceOf(doc);
    for (int p = 0; cache && p < kPhotoCount; ++p) {
        if (!doc.photos[p].isNull() && doc.photoJpegBytes[p].isEmpty()) {
            source.jpegBytes[p] = &cache->Encoded(p, doc.photos[p]);
        }
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteDocument(buffer, source);
    return buffer.data();
}

QString WriteFileSafely(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    // On the disk before the rename makes it the copy: a crash of the machine must not leave
    // an empty file where the previous copy was.
    if (::fsync(file.handle()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

// ---- Store ----

namespace {

QString LockPathOf(const QString& copyPath) {
    return copyPath.left(copyPath.size() - RecoveryStore::CopySuffix().size()) +
           RecoveryStore::LockSuffix();
}

std::unique_ptr<QLockFile> TryLock(const QString& lockPath) {
    auto lock = std::make_unique<QLockFile>(lockPath);
    // Only a lock whose process has ended is stale, however old it is: an instance may run
    // for days.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        return nullptr;
    }
    return lock;
}

void RemoveOrphanFiles(OrphanCopy& orphan) {
    if (orphan.lock) {
        orphan.lock->unlock(); // removes the lock file
        orphan.lock.reset();
    }
}

} // namespace

RecoveryStore::RecoveryStore(QString folder, QString id)
    : m_folder(std::move(folder)), m_id(std::move(id)) {}

RecoveryStore::~RecoveryStore() = default;

bool RecoveryStore::Open() {
    if (!QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("The folder %1 cannot be created.").arg(m_folder);
        return false;
    }
    m_lock = TryLock(QDir(m_folder).filePath(m_id + LockSuffix()));
    if (!m_lock) {
        m_error = QStringLiteral("The folder %1 cannot be written.").arg(m_folder);
        return false;
    }
    return true;
}

QString RecoveryStore::CopyPath() const {
    return QDir(m_folder).filePath(m_id + CopySuffix());
}

std::optional<OrphanCopy> RecoveryStore::ClaimOrphan() {
    const QFileInfoList copies = QDir(m_folder).entryInfoList(
        {QStringLiteral("*") + CopySuffix()}, QDir::Files | QDir::Hidden, QDir::Time);
    for (const QFileInfo& copy : copies) { // newest first
        if (copy.absoluteFilePath() == QFileInfo(CopyPath()).absoluteFilePath()) {
            continue;
        }
        // Held by a running instance (its own copy, or one it is offering right now): not
        // ours to offer.
        std::unique_ptr<QLockFile> lock = TryLock(LockPathOf(copy.absoluteFilePath()));
        if (!lock) {
            continue;
        }
        // The copy may have gone while the lock was taken (another instance discarded it).
        if (!QFileInfo::exists(copy.absoluteFilePath())) {
            lock->unlock();
            continue;
        }
        return OrphanCopy{copy.absoluteFilePath(), copy.lastModified(), std::move(lock)};
    }
    return std::nullopt;
}

bool RecoveryStore::Adopt(OrphanCopy& orphan) {
    QFile::remove(CopyPath());
    const bool moved = QFile::rename(orphan.path, CopyPath());
    RemoveOrphanFiles(orphan);
    return moved;
}

void RecoveryStore::Discard(OrphanCopy& orphan) {
    QFile::remove(orphan.path);
    RemoveOrphanFiles(orphan);
}

void RecoveryStore::SetAside(OrphanCopy& orphan) {
    QString target = orphan.path + QStringLiteral(".unreadable");
    for (int n = 2; QFileInfo::exists(target); ++n) {
        target = orphan.path + QStringLiteral(".unreadable%1").arg(n);
    }
    QFile::rename(orphan.path, target);
    RemoveOrphanFiles(orphan);
}

void RecoveryStore::RemoveCopy() {
    QFile::remove(CopyPath());
}

void RecoveryStore::Close() {
    RemoveCopy();
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
}

QString RestoreQuestion(const QDateTime& written) {
    return QStringLiteral("Visomorf closed unexpectedly. Restore the unsaved work from %1?")
        .arg(written.toLocalTime().time().toString(QStringLiteral("HH:mm")));
}

} // namespace vm
