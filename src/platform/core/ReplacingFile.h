#pragma once
// Every file the program writes (documents, exported meshes, textures) goes through here: the
// bytes go into a new file beside the target, which is flushed to the disk and then renamed over
// the target. A reader never sees a half-written file, and a write that fails (full disk, kill,
// power loss) leaves the previous file as it was.
//
// Targets are refused when they exist but are not regular files (a folder, a device such as
// /dev/null, a FIFO, a socket): renaming over them would replace the special file itself. A
// symbolic link is followed: the file it names is replaced, the link stays.
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <memory>

namespace vm {

inline constexpr const char* kOpenForWritingText = "Error opening file for writing:";
inline constexpr const char* kWritingText = "Error writing file:";

// The system's own words for an errno value ("No space left on device").
QString SystemReason(int error);

// The file a write to path replaces: path itself, or where its chain of links ends.
QString ReplacedFile(const QString& path);

// Why path cannot be replaced although it exists: it is a folder, a device, a FIFO or a socket
// (links followed). Empty for a regular file and for a path that names nothing.
QString NonRegularFileReason(const QString& path);

// Throws FileException(text, path, reason) unless path can be written through this module: its
// folder exists and the path names nothing yet or a regular file (after links). Nothing is
// written.
void RequireRegularTarget(const QString& path, const QString& text = kOpenForWritingText);

// Whether both paths exist and name the same file (device and inode, links followed).
bool SameFile(const QString& a, const QString& b);

inline constexpr const char* kRefusedText = "Refusing to write:";

// Throws FileException(kRefusedText, output, reason) when one of outputs is the same file as one
// of inputs (empty paths are skipped).
void RequireDistinctFromInputs(const QStringList& outputs, const QStringList& inputs);

class ReplacingFile {
public:
    // Checks the target and creates the new file beside it. Failures: FileException with
    // kOpenForWritingText (or the given text), the path and the system's reason.
    explicit ReplacingFile(const QString& path, const QString& text = kOpenForWritingText);
    // Removes the new file unless Commit() put it in place.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The new file, open for writing (seekable, unbuffered). Failed writes keep the system's
    // reason in errorString().
    QIODevice& Device();

    // Syncs the new file to the disk and renames it over the target. Failures (also of any
    // earlier write to Device()): FileException with kWritingText, the path and the reason; the
    // target is then untouched and the new file removed.
    void Commit();

    // The system's reason for the first write to Device() that failed; empty while none did.
    QString WriteFailure() const;

    const QString& Path() const { return m_path; }

private:
    class TargetDevice;
    [[noreturn]] void Fail(const QString& text, int error);
    void Discard();

    QString m_path;
    QString m_target; // after links
    QString m_temporary;
    std::unique_ptr<TargetDevice> m_device;
};

// The whole of bytes through a ReplacingFile. Failures name path with text when the file cannot
// be made and writingText when it cannot be written.
void WriteFileReplacing(const QString& path, const QByteArray& bytes,
                        const QString& text = kOpenForWritingText,
                        const QString& writingText = kWritingText);

} // namespace vm
