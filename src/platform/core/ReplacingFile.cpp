#include "platform/core/ReplacingFile.h"

#include "platform/core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vm {

namespace {

// Longest chain of links followed before the path counts as a loop (the kernel's own limit).
constexpr int kMaxLinks = 40;
// Characters of the target's name in the new file's name: even at three bytes each, with the dot
// and the random suffix, below the 255 bytes a name may have.
constexpr qsizetype kMaxNameKept = 60;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// Why a file of this mode cannot be replaced; empty for a regular file.
QString SpecialFileReason(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return QStringLiteral("It is a folder, not a file.");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("It is a device, not a regular file.");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("It is a FIFO (named pipe), not a regular file.");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("It is a socket, not a regular file.");
    }
    return QStringLiteral("It is not a regular file.");
}

QString FolderOf(const QString& path) {
    const QString folder = QFileInfo(path).path();
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

} // namespace

QString SystemReason(int error) {
    return qt_error_string(error);
}

QString ReplacedFile(const QString& path) {
    QString current = path;
    for (int step = 0; step < kMaxLinks; ++step) {
        const QFileInfo info(current);
        if (!info.isSymLink()) {
            return current;
        }
        // symLinkTarget() is absolute, resolved against the link's folder.
        current = info.symLinkTarget();
    }
    return current; // the write then fails with the system's "Too many levels of links"
}

QString NonRegularFileReason(const QString& path) {
    struct stat status {};
    if (path.isEmpty() || ::stat(Native(ReplacedFile(path)).constData(), &status) != 0) {
        return {};
    }
    return SpecialFileReason(status.st_mode);
}

void RequireRegularTarget(const QString& path, const QString& text) {
    if (path.isEmpty()) {
        throw FileException(text, path, SystemReason(ENOENT));
    }
    const QString target = ReplacedFile(path);
    struct stat status {};
    if (::stat(Native(target).constData(), &status) == 0) {
        const QString reason = SpecialFileReason(status.st_mode);
        if (!reason.isEmpty()) {
            throw FileException(text, path, reason);
        }
        return;
    }
    if (errno != ENOENT) {
        throw FileException(text, path, SystemReason(errno));
    }
    // A new file: its folder must be there.
    struct stat folder {};
    if (::stat(Native(FolderOf(target)).constData(), &folder) != 0) {
        throw FileException(text, path, SystemReason(errno));
    }
    if (!S_ISDIR(folder.st_mode)) {
        throw FileException(text, path, SystemReason(ENOTDIR));
    }
}

bool SameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return false;
    }
    struct stat first {};
    struct stat second {};
    return ::stat(Native(a).constData(), &first) == 0 &&
           ::stat(Native(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

void RequireDistinctFromInputs(const QStringList& outputs, const QStringList& inputs) {
    for (const QString& output : outputs) {
        for (const QString& input : inputs) {
            if (SameFile(output, input)) {
                throw FileException(
                    QString::fromLatin1(kRefusedText), output,
                    QStringLiteral("It is the same file as the input \"%1\".").arg(input));
            }
        }
    }
}

// A seekable, unbuffered device on the new file that writes at its position and keeps the
// first failure's errno.
class ReplacingFile::TargetDevice : public QIODevice {
public:
    explicit TargetDevice(int fd) : m_fd(fd) { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
    ~TargetDevice() override { CloseDescriptor(); }
    TargetDevice(const TargetDevice&) = delete;
    TargetDevice& operator=(const TargetDevice&) = delete;

    bool isSequential() const override { return false; }
    qint64 size() const override {
        struct stat status {};
        return m_fd >= 0 && ::fstat(m_fd, &status) == 0 ? qint64(status.st_size) : 0;
    }
    int FirstError() const { return m_error; }
    int Descriptor() const { return m_fd; }
    // Closes the descriptor; returns 0 or the errno of a failed close.
    int CloseDescriptor() {
        if (m_fd < 0) {
            return 0;
        }
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        for (;;) {
            const ssize_t got = ::pread(m_fd, data, size_t(maxSize), off_t(pos()));
            if (got >= 0) {
                return got;
            }
            if (errno != EINTR) {
                return Failed(errno);
            }
        }
    }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_error != 0) {
            return -1; // a file with a hole where a write failed is never committed
        }
        qint64 done = 0;
        while (done < size) {
            const ssize_t put =
                ::pwrite(m_fd, data + done, size_t(size - done), off_t(pos() + done));
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Failed(errno);
            }
            if (put == 0) {
                return Failed(ENOSPC);
            }
            done += put;
        }
        return done;
    }

private:
    qint64 Failed(int error) {
        if (m_error == 0) {
            m_error = error;
        }
        setErrorString(SystemReason(error));
        return -1;
    }

    int m_fd;
    int m_error = 0;
};

ReplacingFile::ReplacingFile(const QString& path, const QString& text) : m_path(path) {
    RequireRegularTarget(path, text);
    m_target = ReplacedFile(path);
    const QFileInfo target(m_target);
    // Beside the target, under a name the target's own cannot make too long for the folder.
    const QString prefix =
        FolderOf(m_target) + QStringLiteral("/.") + target.fileName().left(kMaxNameKept);
    // The new file takes the replaced file's permissions; a new one the usual 0666 less umask.
    struct stat replaced {};
    const bool exists = ::stat(Native(m_target).constData(), &replaced) == 0;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        m_temporary = prefix + QStringLiteral(".%1.part")
                                   .arg(QRandomGenerator::global()->generate() & 0xFFFFFF, 6, 16,
                                        QLatin1Char('0'));
        fd = ::open(Native(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 100)) {
            throw FileException(text, path, SystemReason(errno));
        }
    }
    if (exists && ::fchmod(fd, replaced.st_mode & 07777) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(Native(m_temporary).constData());
        throw FileException(text, path, SystemReason(error));
    }
    m_device = std::make_unique<TargetDevice>(fd);
}

ReplacingFile::~ReplacingFile() {
    Discard();
}

QIODevice& ReplacingFile::Device() {
    return *m_device;
}

QString ReplacingFile::WriteFailure() const {
    return m_device && m_device->FirstError() != 0 ? SystemReason(m_device->FirstError())
                                                   : QString();
}

void ReplacingFile::Discard() {
    if (!m_device) {
        return;
    }
    m_device->CloseDescriptor();
    m_device.reset();
    ::unlink(Native(m_temporary).constData());
}

void ReplacingFile::Fail(const QString& text, int error) {
    Discard();
    throw FileException(text, m_path, SystemReason(error));
}

void ReplacingFile::Commit() {
    if (!m_device) {
        throw FileException(kWritingText, m_path, SystemReason(EBADF));
    }
    if (m_device->FirstError() != 0) {
        Fail(kWritingText, m_device->FirstError());
    }
    if (::fsync(m_device->Descriptor()) != 0) {
        Fail(kWritingText, errno);
    }
    if (const int error = m_device->CloseDescriptor(); error != 0) {
        Fail(kWritingText, error);
    }
    if (::rename(Native(m_temporary).constData(), Native(m_target).constData()) != 0) {
        Fail(kWritingText, errno);
    }
    m_device.reset();
    // The rename itself reaches the disk with the folder.
    const int folder =
        ::open(Native(FolderOf(m_target)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void WriteFileReplacing(const QString& path, const QByteArray& bytes, const QString& text,
                        const QString& writingText) {
    ReplacingFile file(path, text);
    try {
        // A short write leaves its reason with the device, and Commit reports it.
        file.Device().write(bytes);
        file.Commit();
    } catch (const FileException& failure) {
        throw FileException(writingText, path, failure.Reason());
    }
}

} // namespace vm
