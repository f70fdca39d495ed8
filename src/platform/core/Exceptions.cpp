#include "platform/core/Exceptions.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

namespace vm {

namespace {

struct ResultCodeEntry {
    uint32_t code;
    const char* name;
    const char* description;
};

// Sorted by code so that lookups can bisect. Only the codes this program and its graphics and
// mesh layer can produce, plus the common system codes that travel through the same path.
constexpr ResultCodeEntry kResultCodes[] = {
    {0x00000000, "S_OK", "The operation completed successfully."},
    {0x00000001, "S_FALSE", "The operation completed but reported a negative outcome."},
    {0x0876086F, "D3DOK_NOAUTOGEN",
     "The resource was created, but its mipmap levels will not be generated automatically."},
    {0x80004001, "E_NOTIMPL", "The requested operation is not implemented."},
    {0x80004002, "E_NOINTERFACE", "The requested interface is not supported."},
    {0x80004003, "E_POINTER", "A required pointer was missing or invalid."},
    {0x80004004, "E_ABORT", "The operation was aborted."},
    {0x80004005, "E_FAIL", "Unspecified error"},
    {0x8000FFFF, "E_UNEXPECTED", "An unexpected failure occurred."},
    {0x80070002, "ERROR_FILE_NOT_FOUND", "The file could not be found."},
    {0x80070003, "ERROR_PATH_NOT_FOUND", "The path could not be found."},
    {0x80070005, "E_ACCESSDENIED", "Access was denied."},
    {0x80070006, "E_HANDLE", "The handle is not valid."},
    {0x8007000E, "E_OUTOFMEMORY",
     "Not enough memory resources are available to complete this operation."},
    {0x80070057, "E_INVALIDARG", "The parameter is incorrect."},
    {0x8876017C, "D3DERR_OUTOFVIDEOMEMORY",
     "There is not enough display memory to complete the operation."},
    {0x8876021C, "D3DERR_WASSTILLDRAWING",
     "The device was still busy with an earlier transfer to or from this surface."},
    {0x88760384, "D3DXFERR_BADOBJECT", "Data could not be read from or written to an object."},
    {0x88760385, "D3DXFERR_BADVALUE", "A value in the mesh file is not valid."},
    {0x88760386, "D3DXFERR_BADTYPE", "A data type in the mesh file is not valid."},
    {0x88760387, "D3DXFERR_NOTFOUND", "The requested object was not found in the mesh file."},
    {0x88760388, "D3DXFERR_NOTDONEYET", "The operation has not been completed yet."},
    {0x88760389, "D3DXFERR_FILENOTFOUND", "The mesh file could not be found."},
    {0x8876038A, "D3DXFERR_RESOURCENOTFOUND", "The embedded resource could not be found."},
    {0x8876038B, "D3DXFERR_BADRESOURCE", "An operation on an embedded resource failed."},
    {0x8876038C, "D3DXFERR_BADFILETYPE", "The file is not a mesh file of a known kind."},
    {0x8876038D, "D3DXFERR_BADFILEVERSION", "The mesh file has a format version we cannot read."},
    {0x8876038E, "D3DXFERR_BADFILEFLOATSIZE", "The mesh file declares an unsupported float size."},
    {0x8876038F, "D3DXFERR_BADFILE", "The mesh file is damaged or incomplete."},
    {0x88760390, "D3DXFERR_PARSEERROR", "The mesh file could not be parsed."},
    {0x88760391, "D3DXFERR_BADARRAYSIZE", "An array in the mesh file has the wrong size."},
    {0x88760392, "D3DXFERR_BADDATAREFERENCE", "A reference in the mesh file names no object."},
    {0x88760393, "D3DXFERR_NOMOREOBJECTS", "The mesh file holds no more objects."},
    {0x88760394, "D3DXFERR_NOMOREDATA", "The object holds no more data."},
    {0x88760395, "D3DXFERR_BADCACHEFILE", "The mesh cache file is not valid."},
    {0x88760818, "D3DERR_WRONGTEXTUREFORMAT",
     "The texture's pixel format cannot be used for this operation."},
    {0x88760819, "D3DERR_UNSUPPORTEDCOLOROPERATION",
     "The device does not support the requested colour blending operation."},
    {0x8876081A, "D3DERR_UNSUPPORTEDCOLORARG",
     "The device does not support the requested colour blending argument."},
    {0x8876081B, "D3DERR_UNSUPPORTEDALPHAOPERATION",
     "The device does not support the requested alpha blending operation."},
    {0x8876081C, "D3DERR_UNSUPPORTEDALPHAARG",
     "The device does not support the requested alpha blending argument."},
    {0x8876081D, "D3DERR_TOOMANYOPERATIONS",
     "The device cannot carry out that many texture operations in one pass."},
    {0x8876081E, "D3DERR_CONFLICTINGTEXTUREFILTER",
     "The texture filters in use cannot be combined."},
    {0x8876081F, "D3DERR_UNSUPPORTEDFACTORVALUE",
     "The device does not support the requested texture factor value."},
    {0x88760821, "D3DERR_CONFLICTINGRENDERSTATE", "The render states in use cannot be combined."},
    {0x88760822, "D3DERR_UNSUPPORTEDTEXTUREFILTER",
     "The device does not support the requested texture filter."},
    {0x88760826, "D3DERR_CONFLICTINGTEXTUREPALETTE",
     "The texture palettes in use conflict with each other."},
    {0x88760827, "D3DERR_DRIVERINTERNALERROR", "The display driver reported an internal error."},
    {0x88760866, "D3DERR_NOTFOUND", "The requested item was not found."},
    {0x88760867, "D3DERR_MOREDATA", "There is more data than the given buffer can hold."},
    {0x88760868, "D3DERR_DEVICELOST",
     "Access to the device has been lost.  It must be re-acquired."},
    {0x88760869, "D3DERR_DEVICENOTRESET", "The device was lost and can now be reset."},
    {0x8876086A, "D3DERR_NOTAVAILABLE",
     "The requested format or capability is not available on this device."},
    {0x8876086B, "D3DERR_INVALIDDEVICE", "The requested device type is not valid."},
    {0x8876086C, "D3DERR_INVALIDCALL",
     "The call is not valid: a parameter or the object's state does not allow it."},
    {0x8876086D, "D3DERR_DRIVERINVALIDCALL", "The display driver refused the call."},
    {0x88760870, "D3DERR_DEVICEREMOVED", "The graphics device has been removed."},
    {0x88760874, "D3DERR_DEVICEHUNG", "The graphics device stopped responding and was reset."},
    {0x88760B54, "D3DXERR_CANNOTMODIFYINDEXBUFFER", "The index buffer cannot be modified."},
    {0x88760B55, "D3DXERR_INVALIDMESH", "The mesh is not valid."},
    {0x88760B56, "D3DXERR_CANNOTATTRSORT",
     "The mesh cannot be sorted by attribute for optimisation."},
    {0x88760B57, "D3DXERR_SKINNINGNOTSUPPORTED", "Skinning is not supported."},
    {0x88760B58, "D3DXERR_TOOMANYINFLUENCES", "Too many bone influences were given."},
    {0x88760B59, "D3DXERR_INVALIDDATA", "The data is not valid."},
    {0x88760B5A, "D3DXERR_LOADEDMESHASNODATA", "The loaded mesh contains no data."},
    {0x88760B5B, "D3DXERR_DUPLICATENAMEDFRAGMENT", "A fragment with that name already exists."},
    {0x88760B5C, "D3DXERR_CANNOTREMOVELASTITEM", "The last item cannot be removed."},
};

static_assert(std::is_sorted(std::begin(kResultCodes), std::end(kResultCodes),
                             [](const ResultCodeEntry& a, const ResultCodeEntry& b) {
                                 return a.code < b.code;
                             }),
              "the result code table must stay sorted for lookup");

const ResultCodeEntry* FindResultCode(uint32_t code) {
    const auto* end = std::end(kResultCodes);
    const auto* it = std::lower_bound(
        std::begin(kResultCodes), end, code,
        [](const ResultCodeEntry& entry, uint32_t value) { return entry.code < value; });
    return (it != end && it->code == code) ? it : nullptr;
}

QString ResultCodeMessage(uint32_t code) {
    const QString text = ResultCodeDescription(code);
    if (!text.isEmpty()) {
        return text;
    }
    const QString hex = QString::number(code, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    return QStringLiteral("Unknown error 0x%1.").arg(hex);
}

constexpr qsizetype kMaxFailureText = 254;

QString CutToMessageBuffer(QString text) {
    if (text.size() <= kMaxFailureText) {
        return text;
    }
    qsizetype cut = kMaxFailureText;
    // Never leave half of a surrogate pair at the end.
    if (text.at(cut - 1).isHighSurrogate()) {
        --cut;
    }
    text.truncate(cut);
    return text;
}

} // namespace

QString ResultCodeDescription(uint32_t code) {
    const ResultCodeEntry* entry = FindResultCode(code);
    return entry ? QString::fromLatin1(entry->description) : QString();
}

QString ResultCodeName(uint32_t code) {
    const ResultCodeEntry* entry = FindResultCode(code);
    return entry ? QString::fromLatin1(entry->name) : QString();
}

const char* VisomorfException::what() const noexcept {
    try {
        m_whatCache = Message().toUtf8();
        return m_whatCache.constData();
    } catch (...) {
        return "Visomorf failure (its message could not be prepared)";
    }
}

QString ResultException::Message() const {
    return ResultCodeMessage(m_code);
}

QString CDXException::Message() const {
    return ResultCodeMessage(Code());
}

FileException::FileException(QString text, QString path, QString reason)
    : MessageException(reason.isEmpty() ? text + QStringLiteral("\r\n") + path
                                        : text + QStringLiteral("\r\n") + path +
                                              QStringLiteral("\r\n") + reason),
      m_text(std::move(text)), m_path(std::move(path)), m_reason(std::move(reason)) {}

QString FileException::Summary() const {
    QString text = m_text;
    if (text.endsWith(QLatin1Char(':'))) {
        text.chop(1);
    }
    return m_reason.isEmpty() ? text : text + QStringLiteral(": ") + m_reason;
}

QString ArchiveException::Message() const {
    QString text;
    switch (m_cause) {
    case Cause::EndOfFile:
        text = QStringLiteral("An attempt was made to read past the end of the file.");
        break;
    case Cause::BadFormat:
        text = QStringLiteral("The file has an unexpected format.");
        break;
    case Cause::Generic:
        text = QStringLiteral("An error occurred while reading or writing the file.");
        break;
    }
    if (!m_detail.isEmpty()) {
        text += QLatin1Char(' ') + m_detail;
    }
    return text;
}

QString FailureText(const std::exception& failure) {
    if (const auto* own = dynamic_cast<const VisomorfException*>(&failure)) {
        return CutToMessageBuffer(own->Message());
    }
    if (dynamic_cast<const std::bad_alloc*>(&failure)) {
        return CutToMessageBuffer(ResultCodeDescription(hr::kOutOfMemory));
    }
    return CutToMessageBuffer(QString::fromUtf8(failure.what()));
}

} // namespace vm
