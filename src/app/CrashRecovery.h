#pragma once
// Keeps a recovery copy of the modified document for the window: polls the schedule once a
// second, serialises the document on this thread when a copy is due and hands the bytes to a
// worker thread that writes them, so the interface never waits for the disk. At start it
// offers the newest copy a crashed process left behind.
#include "persistence/RecoveryCopy.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <functional>

namespace vm {

class CVisomorfDoc;

class CrashRecovery : public QObject {
    Q_OBJECT
public:
    enum class Answer { Restore, Discard, Later };

    // folder: where the copies go; empty: the user's data folder's "recovery".
    CrashRecovery(CVisomorfDoc& doc, const QString& folder = QString(), QObject* parent = nullptr,
                  qint64 intervalMs = RecoverySchedule::kIntervalMs);
    // A clean end: the writes finish, then the copy and the lock go.
    ~CrashRecovery() override;

    static QString DefaultFolder();
    bool IsActive() const { return m_active; }
    const RecoveryStore& Store() const { return m_store; }

    // Offers the newest copy that a process which has ended left behind. ask gets the
    // question's text; Later keeps the copy for another start. On Restore the copy is opened
    // as an untitled, modified document and becomes this process's copy; a copy that cannot
    // be read is reported through the document and kept aside. True when work was restored.
    bool OfferRestore(const std::function<Answer(const QString& question)>& ask);

    // A photo load or the automatic fit: a copy at the next poll.
    void WriteSoon();
    // Checks at once whether a copy is due or should go (after a save, for example).
    void Poll();
    // Waits until every write and removal handed to the worker has ended and reported back.
    void WaitForWorker();

private:
    void Write();

    CVisomorfDoc& m_doc;
    RecoveryStore m_store;
    RecoverySchedule m_schedule;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QThreadPool m_worker; // one thread: writes and removals happen in the order asked
    bool m_active = false;
    size_t m_lastWritten = 0; // hash of the bytes of the last copy written
    PhotoJpegCache m_photoCache;
};

} // namespace vm
