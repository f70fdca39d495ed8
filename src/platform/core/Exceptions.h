#pragma once
// The failures that travel through the program. Each carries what a message box shows.
#include <QString>
#include <cstdint>
#include <exception>

namespace vm {

// 32-bit result codes used by the program.
namespace hr {
constexpr uint32_t kOk = 0x00000000;
constexpr uint32_t kFail = 0x80004005;                // E_FAIL
constexpr uint32_t kInvalidArg = 0x80070057;          // E_INVALIDARG
constexpr uint32_t kOutOfMemory = 0x8007000E;         // E_OUTOFMEMORY
constexpr uint32_t kDeviceLost = 0x88760868;          // D3DERR_DEVICELOST
constexpr uint32_t kInvalidCall = 0x8876086C;         // D3DERR_INVALIDCALL
constexpr uint32_t kNotAvailable = 0x8876086A;        // D3DERR_NOTAVAILABLE
constexpr uint32_t kOutOfVideoMemory = 0x8876017C;    // D3DERR_OUTOFVIDEOMEMORY
constexpr uint32_t kXInvalidMesh = 0x88760B55;        // D3DXERR_INVALIDMESH
constexpr uint32_t kXInvalidData = 0x88760B59;        // D3DXERR_INVALIDDATA
constexpr uint32_t kXFileBadFileType = 0x8876038C;    // D3DXFERR_BADFILETYPE
constexpr uint32_t kXFileBadFileVersion = 0x8876038D; // D3DXFERR_BADFILEVERSION
constexpr uint32_t kXFileBadFile = 0x8876038F;        // D3DXFERR_BADFILE
constexpr uint32_t kXFileParseError = 0x88760390;     // D3DXFERR_PARSEERROR
} // namespace hr

class VisomorfException : public std::exception {
public:
    ~VisomorfException() override = default;
    // The text a message box shows for this failure (not yet cut to length).
    virtual QString Message() const = 0;
    // Failures already shown to the user travel on silently.
    virtual bool IsSilent() const { return false; }
    const char* what() const noexcept override;

private:
    mutable QByteArray m_whatCache;
};

// A failure with a 32-bit result code: invalid argument, out of memory, general failure, or any
// other code a platform call returns.
class ResultException : public VisomorfException {
public:
    explicit ResultException(uint32_t code) : m_code(code) {}
    uint32_t Code() const { return m_code; }
    QString Message() const override;

private:
    uint32_t m_code;
};

class InvalidArgumentException : public ResultException {
public:
    InvalidArgumentException() : ResultException(hr::kInvalidArg) {}
};

class MemoryException : public ResultException {
public:
    MemoryException() : ResultException(hr::kOutOfMemory) {}
};

class GeneralFailureException : public ResultException {
public:
    GeneralFailureException() : ResultException(hr::kFail) {}
};

// A failed graphics or mesh operation.
class CDXException : public ResultException {
public:
    explicit CDXException(uint32_t code) : ResultException(code) {}
    QString Message() const override;
};

// Failures while reading or writing an archive (document files, feature-set blocks).
class ArchiveException : public VisomorfException {
public:
    enum class Cause { Generic, EndOfFile, BadFormat };
    explicit ArchiveException(Cause cause, QString detail = {})
        : m_cause(cause), m_detail(std::move(detail)) {}
    Cause GetCause() const { return m_cause; }
    QString Message() const override;

private:
    Cause m_cause;
    QString m_detail;
};

// A failure with a message of its own (file errors and the like).
class MessageException : public VisomorfException {
public:
    explicit MessageException(QString text) : m_text(std::move(text)) {}
    QString Message() const override { return m_text; }

private:
    QString m_text;
};

// A failure of one file: what went wrong, the file, and the system's reason where there is one
// ("No space left on device"). The message box shows the three on lines of their own; the
// command line names the file once, before the rest (Summary()).
class FileException : public MessageException {
public:
    FileException(QString text, QString path, QString reason = {});
    const QString& Text() const { return m_text; }
    const QString& Path() const { return m_path; }
    const QString& Reason() const { return m_reason; }
    // The text and the reason on one line, without the path: "Error writing file: No space
    // left on device".
    QString Summary() const;

private:
    QString m_text;
    QString m_path;
    QString m_reason;
};

// Raised after the program has shown its own message: nothing more is shown.
class UserCancelledException : public VisomorfException {
public:
    QString Message() const override { return {}; }
    bool IsSilent() const override { return true; }
};

// Short English text for a result code from the program's own table ("" if unknown).
QString ResultCodeDescription(uint32_t code);
// Symbolic name of a result code ("" if unknown), for diagnostics only.
QString ResultCodeName(uint32_t code);

// The text a message box shows for any failure: at most 254 characters.
QString FailureText(const std::exception& failure);

} // namespace vm
