#include "cli/CommandLine.h"

#include "autofit/CommandLineFit.h"
#include "cli/DocumentInfo.h"
#include "document/CVisomorfDoc.h"
#include "export/ExportModel.h"
#include "export/GltfWriter.h"
#include "persistence/DocumentIO.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ReplacingFile.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace vm {

namespace {

using Action = CommandLineOptions::Action;

// Options that take a value, and the flags that choose the action; every one a long option
// ("--name").
const char* const kValueOptions[] = {"export",  "save",  "detail", "texture-size",
                                     "quality", "front", "side"};
const char* const kActionFlags[] = {"info", "help", "version"};
// Not actions: they prepare the document for the action.
const char* const kFitFlags[] = {"auto-fit", "auto-fit-optional"};

bool SetAction(CommandLineOptions& options, Action action, QString& error) {
    if (options.action != Action::None && options.action != action) {
        error = QStringLiteral("Choose one of --export, --save, --info, --help and --version.");
        return false;
    }
    options.action = action;
    return true;
}

bool ParseNumber(const QString& text, uint32_t low, uint32_t high, uint32_t& value) {
    bool ok = false;
    const uint32_t parsed = text.toUInt(&ok);
    if (!ok || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool ApplyValue(CommandLineOptions& options, const QString& name, const QString& value,
                QString& error) {
    if (name == "--export" || name == "--save") {
        if (name == "--export") {
            try {
                ExportFormatOf(value);
            } catch (const FileException& unknown) {
                error =
                    QStringLiteral("--export cannot write \"%1\": %2").arg(value, unknown.Reason());
                return false;
            }
        }
        options.output = value;
        return SetAction(options, name == "--export" ? Action::Export : Action::Save, error);
    }
    if (name == "--front" || name == "--side") {
        options.photos[name == "--front" ? 0 : 1] = value;
        return true;
    }
    if (name == "--detail") {
        const QStringList levels = {"low", "medium", "high"};
        options.detail = static_cast<int32_t>(levels.indexOf(value.toLower()));
        if (options.detail >= 0) {
            return true;
        }
        error = QStringLiteral("--detail takes low, medium or high, not \"%1\".").arg(value);
        return false;
    }
    if (name == "--texture-size") {
        if (ParseNumber(value, 64, 2048, options.textureSize) &&
            (options.textureSize & (options.textureSize - 1)) == 0) {
            return true;
        }
        error = QStringLiteral("--texture-size takes 64, 128, 256, 512, 1024 or 2048, not \"%1\".")
                    .arg(value);
        return false;
    }
    if (ParseNumber(value, 0, 100, options.quality)) {
        return true;
    }
    error = QStringLiteral("--quality takes a number from 0 to 100, not \"%1\".").arg(value);
    return false;
}

// Options that only make sense with some actions.
bool CheckCombination(const CommandLineOptions& options, const QCommandLineParser& parser,
                      QString& error) {
    if (options.action == Action::None) {
        error = QStringLiteral("Nothing to do: give --export, --save, --info or --help.");
        return false;
    }
    const bool exporting = options.action == Action::Export;
    for (const char* exportOnly : {"detail", "texture-size", "quality"}) {
        if (!exporting && parser.isSet(QLatin1String(exportOnly))) {
            error = QStringLiteral("--%1 belongs to --export.").arg(QLatin1String(exportOnly));
            return false;
        }
    }
    const bool takesPhotos = exporting || options.action == Action::Save;
    if (!takesPhotos && (!options.photos[0].isEmpty() || !options.photos[1].isEmpty())) {
        error = QStringLiteral("--front and --side belong to --export and --save.");
        return false;
    }
    if ((options.action == Action::Help || options.action == Action::Version) &&
        !options.document.isEmpty()) {
        error = QStringLiteral("Unexpected argument \"%1\".").arg(options.document);
        return false;
    }
    return true;
}

int Fail(QTextStream& err, const QString& message) {
    err << "visomorf: " << message << "\n";
    err.flush();
    return 1;
}

QString Describe(const std::exception& failure) {
    // A file failure names its file once, where the caller puts it.
    if (const auto* file = dynamic_cast<const FileException*>(&failure)) {
        return file->Summary();
    }
    return FailureText(failure).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
}

// The file a failure names, or fallback.
QString FailedFile(const std::exception& failure, const QString& fallback) {
    const auto* file = dynamic_cast<const FileException*>(&failure);
    return file && !file->Path().isEmpty() ? file->Path() : fallback;
}

// The document the command works on: the given file or a new one, with the photos given.
bool PrepareDocument(CVisomorfDoc& doc, const CommandLineOptions& options, QTextStream& err) {
    QString lastReport;
    doc.reportFailure = [&lastReport](const QString& text) { lastReport = text; };
    if (options.document.isEmpty()) {
        if (!doc.OnNewDocument()) {
            Fail(err, QStringLiteral("cannot create a new document: %1").arg(lastReport));
            return false;
        }
    } else {
        try {
            OpenDocument(doc, options.document);
        } catch (const std::exception& failure) {
            Fail(err,
                 QStringLiteral("cannot open %1: %2").arg(options.document, Describe(failure)));
            return false;
        }
    }
    const char* const names[2] = {"front", "side"};
    for (int p = 0; p < 2; ++p) {
        if (options.photos[p].isEmpty()) {
            continue;
        }
        try {
            doc.LoadPhoto(p, options.photos[p]);
        } catch (const std::exception& failure) {
            Fail(err, QStringLiteral("cannot load the %1 photo %2: %3")
                          .arg(QLatin1String(names[p]), options.photos[p], Describe(failure)));
            return false;
        }
    }
    return true;
}

// The files the action writes; empty for actions that write nothing.
QStringList OutputsOf(const CommandLineOptions& options) {
    if (options.action == Action::Export) {
        return ExportOutputs(options.output);
    }
    if (options.action == Action::Save) {
        return {options.output};
    }
    return {};
}

// Outputs that no write may touch: the command's own inputs and special files. Refused before
// anything is read or written, as unusable arguments.
bool CheckOutputs(const CommandLineOptions& options, QTextStream& err) {
    const QStringList outputs = OutputsOf(options);
    try {
        RequireDistinctFromInputs(outputs,
                                  {options.document, options.photos[0], options.photos[1]});
    } catch (const FileException& same) {
        Fail(err, QStringLiteral("%1: %2 Nothing was written.").arg(same.Path(), same.Summary()));
        return false;
    }
    for (const QString& output : outputs) {
        const QString reason = NonRegularFileReason(output);
        if (!reason.isEmpty()) {
            Fail(err, QStringLiteral("%1: %2: %3 Nothing was written.")
                          .arg(output, QLatin1String(kRefusedText).chopped(1), reason));
            return false;
        }
    }
    return true;
}

bool HasPhoto(const CVisomorfDoc& doc) {
    for (int p = 0; p < kPhotoCount; ++p) {
        if (!doc.photos[p].isNull()) {
            return true;
        }
    }
    return false;
}

int RunOnDocument(const CommandLineOptions& options, int initialModelDetail, QTextStream& out,
                  QTextStream& err) {
    if (!CheckOutputs(options, err)) {
        return 2;
    }
    CVisomorfDoc doc(initialModelDetail);
    if (!PrepareDocument(doc, options, err)) {
        return 1;
    }
    if (options.autoFit && options.autoFitOptional && !HasPhoto(doc)) {
        // The optional fit never fails the command: without a photo there is nothing to fit,
        // which is worth a note and no more.
        err << "visomorf: note: --auto-fit-optional has no photo to fit; nothing was fitted\n";
        err.flush();
    } else if (options.autoFit && !AutoFitForCommandLine(doc, options.autoFitOptional, err)) {
        return 1;
    }
    try {
        switch (options.action) {
        case Action::Export: {
            ExportOptions exportOptions;
            exportOptions.width = exportOptions.height = options.textureSize;
            exportOptions.quality = options.quality;
            ExportDocument(doc, options.output, options.detail, exportOptions);
            out << "Exported " << options.output << "\n";
            break;
        }
        case Action::Save:
            SaveDocument(doc, options.output);
            out << "Saved " << options.output << "\n";
            break;
        default:
            out << DocumentInfoJson(doc);
            break;
        }
    } catch (const std::exception& failure) {
        QString target = options.action == Action::Info ? options.document : options.output;
        if (target.isEmpty()) {
            target = QStringLiteral("the new document");
        }
        return Fail(err,
                    QStringLiteral("%1: %2").arg(FailedFile(failure, target), Describe(failure)));
    }
    return 0;
}

// The unknown option as it was written, for the message.
QString OptionText(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments) {
        QString bare = argument.section(QLatin1Char('='), 0, 0);
        while (bare.startsWith(QLatin1Char('-'))) {
            bare.remove(0, 1);
        }
        if (argument.startsWith(QLatin1Char('-')) && bare == name) {
            return argument.section(QLatin1Char('='), 0, 0);
        }
    }
    return QStringLiteral("--") + name;
}

bool ParseOptions(QCommandLineParser& parser, const QStringList& arguments, QString& error) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const char* name : kValueOptions) {
        parser.addOption(
            QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    }
    for (const char* name : kActionFlags) {
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    }
    for (const char* name : kFitFlags) {
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    }
    // The parser takes the program's name first.
    if (parser.parse(QStringList{QStringLiteral("visomorf")} + arguments)) {
        return true;
    }
    const QStringList unknown = parser.unknownOptionNames();
    error = unknown.isEmpty()
                ? parser.errorText()
                : QStringLiteral("Unknown option \"%1\".").arg(OptionText(arguments, unknown[0]));
    return false;
}

} // namespace

bool ParseCommandLine(const QStringList& arguments, CommandLineOptions& options, QString& error) {
    options = CommandLineOptions{};
    QCommandLineParser parser;
    if (!ParseOptions(parser, arguments, error)) {
        return false;
    }
    for (const char* name : kActionFlags) {
        const QLatin1String flag(name);
        const Action action = flag == QLatin1String("info")   ? Action::Info
                              : flag == QLatin1String("help") ? Action::Help
                                                              : Action::Version;
        if (parser.isSet(flag) && !SetAction(options, action, error)) {
            return false;
        }
    }
    // Each option once: a second value would silently replace the first.
    const QStringList given = parser.optionNames();
    for (const QString& name : given) {
        if (given.count(name) > 1) {
            error = QStringLiteral("%1 is given more than once.").arg(OptionText(arguments, name));
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("auto-fit")) &&
        parser.isSet(QStringLiteral("auto-fit-optional"))) {
        error = QStringLiteral("Choose one of --auto-fit and --auto-fit-optional.");
        return false;
    }
    for (const char* name : kValueOptions) {
        for (const QString& value : parser.values(QLatin1String(name))) {
            if (!ApplyValue(options, QStringLiteral("--") + QLatin1String(name), value, error)) {
                return false;
            }
        }
    }
    const QStringList documents = parser.positionalArguments();
    if (documents.size() > 1) {
        error = QStringLiteral("Only one document can be given (\"%1\" and \"%2\").")
                    .arg(documents[0], documents[1]);
        return false;
    }
    options.document = documents.value(0);
    options.autoFitOptional = parser.isSet(QStringLiteral("auto-fit-optional"));
    options.autoFit = options.autoFitOptional || parser.isSet(QStringLiteral("auto-fit"));
    return CheckCombination(options, parser, error);
}

bool WantsCommandLine(const QStringList& arguments) {
    // Options of the command line are long ones; the window takes only a document path (and
    // the toolkit's own single-dash options).
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1String("--"))) {
            return true;
        }
    }
    return false;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "Usage: visomorf [DOCUMENT.vmf]\n"
        "       visomorf --export OUT.obj|OUT.glb|OUT.gltf [--detail low|medium|high]\n"
        "                [--texture-size SIZE] [--quality 0..100] [--front IMAGE] [--side IMAGE]\n"
        "                [--auto-fit | --auto-fit-optional] [DOCUMENT.vmf]\n"
        "       visomorf --save OUT.vmf [--front IMAGE] [--side IMAGE] [DOCUMENT.vmf]\n"
        "       visomorf --info [DOCUMENT.vmf]\n"
        "\n"
        "Without options the program opens its window (with the document, if one is given).\n"
        "The command-line forms need no display; they start from DOCUMENT.vmf, or from a new\n"
        "document when none is given, after loading the photos given with --front and --side.\n"
        "\n"
        "  --export OUT.obj      write the head as OUT.obj with OUT.mtl and the texture OUT.jpg\n"
        "                        beside it; OUT.glb as one glTF 2.0 file; OUT.gltf with\n"
        "                        OUT.bin and OUT.jpg beside it\n"
        "  --detail LEVEL        model detail of the export: low, medium (default) or high\n"
        "  --texture-size SIZE   texture width and height: 64, 128, 256, 512, 1024 (default)\n"
        "                        or 2048\n"
        "  --quality Q           JPEG quality of the texture, 0 to 100 (default 80)\n"
        "  --front IMAGE         load IMAGE as the front photo first\n"
        "  --side IMAGE          load IMAGE as the side photo first\n"
        "  --auto-fit            place the box and feature points on the photos automatically\n"
        "                        before exporting, saving or describing; a photo that cannot\n"
        "                        be fitted fails the command\n"
        "  --auto-fit-optional   the same, but a photo that cannot be fitted is only reported\n"
        "  --save OUT.vmf        save the document as OUT.vmf\n"
        "  --info                print a JSON summary of the document\n"
        "  --help                show this help\n"
        "  --version             show the program version\n"
        "\n"
        "Each file is written beside its target and replaces it only once complete; outputs\n"
        "that are one of the command's inputs, or a folder, device or FIFO, are refused.\n"
        "\n"
        "Exit status: 0 on success, 1 when the operation failed, 2 for unusable arguments\n"
        "(unknown or repeated options, an unknown export type, a refused output).\n");
}

int RunCommandLine(const QStringList& arguments, int initialModelDetail, QTextStream& out,
                   QTextStream& err) {
    CommandLineOptions options;
    QString error;
    if (!ParseCommandLine(arguments, options, error)) {
        err << "visomorf: " << error << "\nTry \"visomorf --help\".\n";
        return 2;
    }
    switch (options.action) {
    case Action::Help:
        out << CommandLineHelp();
        return 0;
    case Action::Version:
        out << "visomorf " << VISOMORF_VERSION << "\n";
        return 0;
    default:
        return RunOnDocument(options, initialModelDetail, out, err);
    }
}

} // namespace vm
