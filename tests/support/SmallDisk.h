#pragma once
// A small file system of its own (tmpfs) for tests of full disks. Mounting needs root, as the
// test machines and CI run; elsewhere Ready() is false and Why() says why, for GTEST_SKIP.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace vm::test {

class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes) {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        if (::mount("tmpfs", Native().constData(), "tmpfs", 0, options.constData()) == 0) {
            m_mounted = true;
        } else {
            m_why = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        }
    }
    ~SmallDisk() {
        if (m_mounted) {
            ::umount2(Native().constData(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Ready() const { return m_mounted; }
    const std::string& Why() const { return m_why; }
    QString FilePath(const QString& name) const { return m_mountPoint.filePath(name); }

    // Takes up the room with a file "filler" until at most `leave` bytes are free.
    bool FillLeaving(qint64 leave) {
        QFile filler(FilePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::Append)) {
            return false;
        }
        const QByteArray block(4096, 'x');
        while (Free() > leave) {
            const qint64 step = qMin<qint64>(block.size(), Free() - leave);
            if (filler.write(block.constData(), step) != step || !filler.flush()) {
                break;
            }
        }
        return Free() <= leave;
    }

    // The files on the disk but the filler: what a test wrote, and anything left behind.
    QStringList Names() const {
        QStringList names = QDir(m_mountPoint.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }

private:
    QByteArray Native() const { return QFile::encodeName(m_mountPoint.path()); }
    qint64 Free() const {
        struct statvfs status {};
        return ::statvfs(Native().constData(), &status) == 0
                   ? qint64(status.f_bavail) * qint64(status.f_frsize)
                   : -1;
    }

    QTemporaryDir m_mountPoint;
    bool m_mounted = false;
    std::string m_why;
};

} // namespace vm::test
