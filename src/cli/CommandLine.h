#pragma once
// The program without windows: export, save and describe documents from a shell or a script.
#include <QString>
#include <QStringList>
#include <cstdint>

class QTextStream;

namespace vm {

struct CommandLineOptions {
    enum class Action { None, Help, Version, Export, Save, Info };
    Action action = Action::None;
    QString output;              // --export OUT.obj or --save OUT.vmf
    QString document;            // the .vmf to start from; empty: a new document
    QString photos[2];           // --front IMAGE, --side IMAGE
    int32_t detail = 1;          // --detail low|medium|high: 0, 1, 2
    uint32_t textureSize = 1024; // --texture-size
    uint32_t quality = 80;       // --quality
    // --auto-fit, or --auto-fit-optional (then a photo that does not fit is no failure)
    bool autoFit = false, autoFitOptional = false;
};

// Parses the arguments after the program name. Returns false with a message for arguments
// that make no sense (unknown options, missing or bad values, more than one action).
bool ParseCommandLine(const QStringList& arguments, CommandLineOptions& options, QString& error);

// Whether the arguments ask for the command-line mode rather than the windows.
bool WantsCommandLine(const QStringList& arguments);

QString CommandLineHelp();

// Runs the command; messages go to out and err. Returns the exit status: 0 on success, 1 when
// the operation failed, 2 for unusable arguments.
int RunCommandLine(const QStringList& arguments, int initialModelDetail, QTextStream& out,
                   QTextStream& err);

} // namespace vm
