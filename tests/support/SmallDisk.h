#pragma once
// A small file system of its own (tmpfs) for tests of full disks. Mounting needs root, as the
// test machines and CI run; elsewhere Ready() is false and Why() says why, for GTEST_SKIP.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vm::test {

class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes) {
        if (!m_mountPoint.isValid()) {
            m_why = QStringLiteral("no temporary folder");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
        if (::mount("tmpfs", QFile::encodeName(m_mountPoint.path()).constData(), "tmpfs", 0,
                    options.constData()) != 0) {
            m_why = QStringLiteral("cannot mount a tmpfs here: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mountPoint.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Ready() const { return m_mounted; }
    std::string Why() const { return m_why.toStdString(); }
    QString FilePath(const QString& name) const { return m_mountPoint.filePath(name); }

    qint64 FreeBytes() const {
        struct statvfs status {};
        if (::statvfs(QFile::encodeName(m_mountPoint.path()).constData(), &status) != 0)
            return -1;
        return qint64(status.f_bavail) * qint64(status.f_frsize);
    }

    // Takes up the room with a file of its own until at most `leave` bytes are free.
    bool FillLeaving(qint64 leave) {
        QFile filler(FilePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::Append))
            return false;
        const QByteArray block(4096, 'x');
        while (FreeBytes() > leave) {
            const qint64 step = qMin<qint64>(block.size(), FreeBytes() - leave);
            if (filler.write(block.constData(), step) != step || !filler.flush())
                break;
        }
        return FreeBytes() <= leave;
    }

    // The names in the disk's folder, but the filler.
    QStringList Names() const {
        QStringList names = QDir(m_mountPoint.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }

private:
    QTemporaryDir m_mountPoint;
    bool m_mounted = false;
    QString m_why;
};

} // namespace vm::test
