// The walkers that photo files meet before any decoder does, on arbitrary bytes: the JPEG
// metadata remover and the PNG and GIF completeness checks. None may read outside the data;
// what the remover keeps is a JPEG it walks again to the same bytes, never longer than its input.
#include "texture/ImageCompleteness.h"
#include "texture/JpegMetadata.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that the sanitizer sees any read past its end.
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray kept = vm::StripJpegMetadata(bytes);
    if (!kept.isEmpty()) {
        if (kept.size() > bytes.size() || !kept.startsWith("\xFF\xD8") ||
            !kept.endsWith("\xFF\xD9") || vm::StripJpegMetadata(kept) != kept) {
            std::abort();
        }
    }
    (void)vm::PngIsComplete(bytes);
    (void)vm::GifIsComplete(bytes);
    return 0;
}
