#include "autofit/CommandLineFit.h"

#include "autofit/DocumentFit.h"
#include "document/CVisomorfDoc.h"

#include <QTextStream>
#include <exception>

namespace vm {

bool AutoFitForCommandLine(CVisomorfDoc& doc, bool optional, QTextStream& err) {
    const auto done = [&err](bool result) {
        err.flush();
        return result;
    };
    if (doc.photos[Front].isNull() && doc.photos[Side].isNull()) {
        err << "visomorf: --auto-fit needs a photo: give --front or --side\n";
        return done(optional);
    }
    DocumentFitReport report;
    try {
        report = AutoFitDocument(doc, optional);
    } catch (const std::exception& failure) {
        err << "visomorf: cannot fit automatically: " << failure.what() << "\n";
        return done(false);
    }
    bool failed = false;
    const char* const names[2] = {"front", "side"};
    for (int p = 0; p < kPhotoCount; ++p) {
        const PhotoFit& fit = report.photos[p];
        if (!report.attempted[p]) {
            continue;
        }
        if (!fit.fitted) {
            err << "visomorf: cannot fit the " << names[p] << " photo: " << fit.failure
                << (optional ? " (left as it was)\n" : "\n");
            failed = true;
        }
        for (const QString& note : fit.notes) {
            err << "visomorf: note: " << note << "\n";
        }
    }
    return done(optional || !failed);
}

} // namespace vm
