#pragma once
// Recovery copies of unsaved work. While the document is modified the window writes a copy of
// it now and then into a folder of the user's data; a clean exit or a save removes it, and the
// next start after a crash offers to restore it. Several instances may run at once: each
// writes its own copy, named for its process and guarded by a lock file, and a copy whose
// process still runs is never offered to another instance. Nothing here uses widgets or timers.
#include <QByteArray>
#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <memory>
#include <optional>

namespace vm {

class CVisomorfDoc;

// When copies are written and removed. Times are milliseconds of a monotonic clock; the
// application polls, and starts the writes and removals this asks for.
class RecoverySchedule {
public:
    static constexpr qint64 kIntervalMs = 2 * 60 * 1000;
    enum class Action { None, Write, Remove };

    explicit RecoverySchedule(qint64 intervalMs = kIntervalMs) : m_intervalMs(intervalMs) {}

    // What to do now. A document that has just become modified gets its first copy one
    // interval later, then one every interval while it stays modified; a document that is
    // no longer modified (saved, replaced) has its copy removed. One write at a time: a write
    // falls due again only after the previous one has finished.
    Action Poll(qint64 nowMs, bool modified);
    // After a large operation (a photo load, the automatic fit): the next poll of a modified
    // document writes at once.
    void WriteSoon() { m_soon = true; }
    // The write that Poll asked for has ended.
    void WriteFinished() { m_writing = false; }
    // A copy exists (restored work adopted as this process's copy).
    void CopyExists() { m_copy = true; }
    bool Writing() const { return m_writing; }

private:
    qint64 m_intervalMs;
    qint64 m_dueMs = -1; // -1: the document was not modified at the last poll
    bool m_soon = false;
    bool m_writing = false;
    bool m_copy = false; // a copy was written (or is being written) and not yet removed
};

// Photos that did not come from JPEG data are stored as JPEG: encoded once per photo and kept
// here, so that a copy every two minutes costs a 12-megapixel PNG photo its encoding only once.
class PhotoJpegCache {
public:
    // The JPEG bytes a file would hold for image; throws MessageException when it cannot be
    // encoded.
    const QByteArray& Encoded(int photo, const QImage& image);

private:
    qint64 m_keys[2] = {0, 0};
    QByteArray m_bytes[2];
};

// The document as its file would hold it, in memory (made on the thread that owns the
// document, so that a worker can write the bytes while the user goes on). With a cache, photos
// from other formats are encoded once.
QByteArray SerialiseDocument(const CVisomorfDoc& doc, PhotoJpegCache* cache = nullptr);

// Writes bytes to path as a save does: a temporary file beside it, flushed to the disk, then
// renamed over the target; a failure leaves the previous file as it was. Returns the system's
// reason on failure, an empty string on success.
QString WriteFileSafely(const QString& path, const QByteArray& bytes);

// A copy left behind by a process that has ended, locked by the caller until it is restored,
// discarded or released.
struct OrphanCopy {
    QString path;
    QDateTime written; // local time of the copy's last write
    std::unique_ptr<QLockFile> lock;
};

// The recovery folder as one process uses it.
class RecoveryStore {
public:
    // folder: where the copies lie (created when missing). id: this process's name for its
    // files, unique among the processes that ever use the folder (process id and start time).
    RecoveryStore(QString folder, QString id);
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // Takes this process's lock; false (with Error()) when the folder cannot be used.
    bool Open();
    const QString& Error() const { return m_error; }
    const QString& Folder() const { return m_folder; }
    // Where this process writes its copy.
    QString CopyPath() const;

    // The newest copy whose process has ended and that no other running instance has
    // claimed; it stays locked by this store until one of the three calls below.
    std::optional<OrphanCopy> ClaimOrphan();
    // The orphan becomes this process's copy (its work was restored).
    bool Adopt(OrphanCopy& orphan);
    // The orphan is removed (the user declined it).
    static void Discard(OrphanCopy& orphan);
    // The orphan could not be read: it is kept under another name, never offered again.
    static void SetAside(OrphanCopy& orphan);

    // Removes this process's copy, if any.
    void RemoveCopy();
    // Removes the copy and gives up the lock (a clean exit).
    void Close();

    // Extension of copies and their lock files.
    static QString CopySuffix() { return QStringLiteral(".vmf"); }
    static QString LockSuffix() { return QStringLiteral(".lock"); }

private:
    QString m_folder;
    QString m_id;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
};

// "Visomorf closed unexpectedly. Restore the unsaved work from 14:32?" for a copy written at
// that local time (24-hour clock, the same in every language).
QString RestoreQuestion(const QDateTime& written);

} // namespace vm
