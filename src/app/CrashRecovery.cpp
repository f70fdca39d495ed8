#include "app/CrashRecovery.h"

#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <exception>

namespace vm {

namespace {

// The process id alone could come back after a reboot; with the start time it cannot.
QString ProcessId() {
    return QStringLiteral("visomorf-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

} // namespace

QString CrashRecovery::DefaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("recovery"));
}

CrashRecovery::CrashRecovery(CVisomorfDoc& doc, const QString& folder, QObject* parent,
                             qint64 intervalMs)
    : QObject(parent), m_doc(doc),
      m_store(folder.isEmpty() ? DefaultFolder() : folder, ProcessId()), m_schedule(intervalMs) {
    m_worker.setMaxThreadCount(1);
    m_clock.start();
    // Without a usable folder the program works as before, only without copies.
    m_active = m_store.Open();
    if (m_active) {
        connect(&m_timer, &QTimer::timeout, this, &CrashRecovery::Poll);
        m_timer.start(1000);
    }
}

CrashRecovery::~CrashRecovery() {
    m_timer.stop();
    m_worker.waitForDone();
    m_store.Close();
}

void CrashRecovery::WaitForWorker() {
    m_worker.waitForDone();
    // The writes' reports back to this thread, so that the schedule knows they ended.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

bool CrashRecovery::OfferRestore(const std::function<Answer(const QString& question)>& ask) {
    if (!m_active || !ask) {
        return false;
    }
    std::optional<OrphanCopy> orphan = m_store.ClaimOrphan();
    if (!orphan) {
        return false;
    }
    switch (ask(RestoreQuestion(orphan->written))) {
    case Answer::Later:
        return false; // the lock goes with the claim: another start may offer it
    case Answer::Discard:
        RecoveryStore::Discard(*orphan);
        return false;
    case Answer::Restore:
        break;
    }
    if (!OnOpenDocument(m_doc, orphan->path)) {
        RecoveryStore::SetAside(*orphan);
        return false;
    }
    // The work is unsaved: it has no file of its own yet, and closing asks to save it.
    m_doc.SetPathName(QString());
    m_doc.SetModifiedFlag(true);
    m_doc.UpdateAllViews();
    // The copy on the disk holds exactly this work: it stays as this process's copy until the
    // work changes, is saved or the program ends.
    if (m_store.Adopt(*orphan)) {
        m_schedule.CopyExists();
        try {
            m_lastWritten = qHash(SerialiseDocument(m_doc, &m_photoCache));
        } catch (const std::exception&) {
            m_lastWritten = 0;
        }
    } else {
        m_schedule.WriteSoon();
    }
    return true;
}

void CrashRecovery::WriteSoon() {
    m_schedule.WriteSoon();
    Poll();
}

void CrashRecovery::Poll() {
    // A drag's model is half-way: the copy waits for the release or the cancel.
    if (!m_active || m_doc.IsDragInProgress()) {
        return;
    }
    switch (m_schedule.Poll(m_clock.elapsed(), m_doc.IsModified())) {
    case RecoverySchedule::Action::Write:
        Write();
        break;
    case RecoverySchedule::Action::Remove: {
        m_lastWritten = 0;
        const QString path = m_store.CopyPath();
        m_worker.start([path] { QFile::remove(path); });
        break;
    }
    case RecoverySchedule::Action::None:
        break;
    }
}

void CrashRecovery::Write() {
    QByteArray bytes;
    try {
        bytes = SerialiseDocument(m_doc, &m_photoCache);
    } catch (const std::exception&) {
        // A document that cannot be written now is tried again at the next interval.
        m_schedule.WriteFinished();
        return;
    }
    const size_t hash = qHash(bytes);
    if (hash == m_lastWritten) {
        m_schedule.WriteFinished(); // the copy on the disk already holds exactly this
        return;
    }
    m_lastWritten = hash;
    const QString path = m_store.CopyPath();
    m_worker.start([this, path, bytes = std::move(bytes)] {
        const QString failure = WriteFileSafely(path, bytes);
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                if (!failure.isEmpty()) {
                    m_lastWritten = 0; // written again at the next interval
                }
                m_schedule.WriteFinished();
            },
            Qt::QueuedConnection);
    });
}

} // namespace vm
