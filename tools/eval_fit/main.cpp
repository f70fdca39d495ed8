// eval_fit: measures the automatic fit on real photos of real people. For each person's folder
// (NNN/ with Img_33.JPG at the front, Img_53.JPG / Img_13.JPG in profile facing right / left,
// Img_43.JPG / Img_23.JPG turned about 45 degrees to the right / left) it runs the program
// itself, `visomorf --export HEAD.glb --front ... --side ... --auto-fit`, reads the exported head,
// renders it at the front and at the yaw between 30 and 60 degrees that matches the angled photo
// best, finds 68 landmarks on render and photo, and compares them (landmark error after a
// similarity alignment, grey-level correlation of the inner face). The same comparison between
// one person's photo and the next person's gives the "another person" baseline.
//
// Exit status: 0 when every target holds, 1 when one is missed, 2 for bad arguments or a missing
// landmark model, 77 when the photo folder is absent (ctest's skip code).
#include "EvalReport.h"
#include "FaceCompare.h"
#include "GlbReader.h"
#include "HeadRender.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/detail/DetectionImage.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <map>
#include <opencv2/imgproc.hpp>
#include <optional>

namespace {

using vm::Landmarks;

// Renders are this size; the head fills most of the height, so the face is about 200 pixels
// wide: plenty for the detector, and about the photos' own scale.
constexpr int kRenderWidth = 400, kRenderHeight = 480;
constexpr int kBackground = 128;
constexpr double kMinYaw = 30, kMaxYaw = 60;

struct Mode {
    QString sideFile;   // the profile given to the fit
    QString angledFile; // the 45-degree photo turned the same way
    double yawSign;     // the render's turn that matches the angled photo
    QString name;
};

const Mode kRight{"Img_53.JPG", "Img_43.JPG", +1.0, "right"};
const Mode kLeft{"Img_13.JPG", "Img_23.JPG", -1.0, "left"};
const QString kFrontFile = QStringLiteral("Img_33.JPG");

QTextStream& Out() {
    static QTextStream stream(stdout);
    return stream;
}
QTextStream& Err() {
    static QTextStream stream(stderr);
    return stream;
}

cv::Mat Grey(const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                   static_cast<size_t>(grey.bytesPerLine()))
        .clone();
}

std::optional<Landmarks> FindLandmarks(const cv::Mat& grey) {
    const std::vector<vm::DetectedFace> faces =
        vm::FaceLandmarker::Instance().Detect(vm::GreyOf(grey));
    if (faces.empty()) {
        return std::nullopt;
    }
    return faces.front().landmarks; // the largest
}

// A photo with its grey version and landmarks, loaded once.
struct Photo {
    QImage colour;
    cv::Mat grey;
    std::optional<Landmarks> landmarks;
};

class PhotoCache {
public:
    explicit PhotoCache(QDir root) : m_root(std::move(root)) {}
    const Photo& Get(const QString& person, const QString& file) {
        const QString key = person + '/' + file;
        auto it = m_photos.find(key);
        if (it == m_photos.end()) {
            Photo photo;
            photo.colour = QImage(m_root.filePath(key)).convertToFormat(QImage::Format_RGB32);
            if (!photo.colour.isNull()) {
                photo.grey = Grey(photo.colour);
                photo.landmarks = FindLandmarks(photo.grey);
            }
            it = m_photos.emplace(key, std::move(photo)).first;
        }
        return it->second;
    }

private:
    QDir m_root;
    std::map<QString, Photo> m_photos;
};

// A render compared with a photo, kept for the contact sheet.
struct Rendered {
    QImage render;
    std::optional<vm::FaceComparison> comparison;
};

vm::ViewScore Score(const Photo& photo, const cv::Mat& other, const std::optional<Landmarks>& mark,
                    std::optional<vm::FaceComparison>* keep = nullptr) {
    vm::ViewScore score;
    score.photoFound = photo.landmarks.has_value();
    if (!score.photoFound || !mark) {
        return score;
    }
    vm::FaceComparison comparison =
        vm::CompareFaces(photo.grey, *photo.landmarks, other, *mark, kBackground);
    score.found = true;
    score.errorPercent = comparison.errorPercent;
    score.correlation = comparison.correlation;
    if (keep) {
        *keep = std::move(comparison);
    }
    return score;
}

Rendered RenderAndScore(const vm::GlbMesh& head, double yaw, const Photo& photo,
                        vm::ViewScore& score) {
    vm::HeadView view;
    view.yawDegrees = static_cast<float>(yaw);
    view.width = kRenderWidth;
    view.height = kRenderHeight;
    view.background = qRgb(kBackground, kBackground, kBackground);
    Rendered r;
    r.render = vm::RenderHead(head, view);
    const cv::Mat grey = Grey(r.render);
    score = Score(photo, grey, FindLandmarks(grey), &r.comparison);
    score.yawDegrees = yaw;
    return r;
}

// The yaw between 30 and 60 degrees whose render's landmarks fit the photo's best: every five
// degrees, then halving the step twice around the best.
Rendered BestYaw(const vm::GlbMesh& head, const Photo& photo, double sign, vm::ViewScore& best) {
    Rendered bestRender;
    best = vm::ViewScore{};
    best.photoFound = photo.landmarks.has_value();
    if (!best.photoFound) {
        return bestRender;
    }
    auto tryYaw = [&](double yaw) {
        if (yaw < kMinYaw - 1e-9 || yaw > kMaxYaw + 1e-9) {
            return;
        }
        vm::ViewScore score;
        Rendered r = RenderAndScore(head, sign * yaw, photo, score);
        score.yawDegrees = yaw; // reported as the turn's size; the mode names its direction
        if (score.found && (!best.found || score.errorPercent < best.errorPercent)) {
            best = score;
            bestRender = std::move(r);
        } else if (!best.found && bestRender.render.isNull()) {
            bestRender = std::move(r); // something to show even when no face is found
        }
    };
    for (double yaw = kMinYaw; yaw <= kMaxYaw + 1e-9; yaw += 5) {
        tryYaw(yaw);
    }
    for (double step : {2.5, 1.25}) {
        if (!best.found) {
            break;
        }
        const double centre = best.yawDegrees;
        tryYaw(centre - step);
        tryYaw(centre + step);
    }
    return bestRender;
}

struct FitRun {
    int exitStatus = -1;
    double seconds = 0;
    QString message;
};

// side empty: the front photo alone.
FitRun RunFit(const QString& program, const QString& front, const QString& side,
              const QString& glb) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    QStringList arguments{"--export", glb, "--front", front, "--auto-fit"};
    if (!side.isEmpty()) {
        arguments << "--side" << side;
    }
    process.start(program, arguments);
    FitRun run;
    if (!process.waitForStarted(10000)) {
        run.message = QStringLiteral("cannot start %1: %2").arg(program, process.errorString());
        return run;
    }
    const bool finished = process.waitForFinished(120000);
    run.seconds = timer.nsecsElapsed() / 1e9;
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
        run.message = QStringLiteral("no result after 120 s");
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit) {
        run.exitStatus = process.exitCode();
    } else {
        run.message = QStringLiteral("crashed");
    }
    const QStringList lines =
        QString::fromLocal8Bit(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    if (!lines.isEmpty() && run.message.isEmpty()) {
        run.message = lines.last().trimmed().left(200);
    }
    return run;
}

// ---- contact sheet --------------------------------------------------------------------------

constexpr int kPanelWidth = 300, kPanelHeight = 360;

// The part of a photo around its face (or the middle, without landmarks), 5:6.
QRectF FaceCrop(const QImage& photo, const std::optional<Landmarks>& landmarks) {
    if (!landmarks) {
        return QRectF(0, 0, photo.width(), photo.height());
    }
    float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
    for (const vm::Vec2& p : *landmarks) {
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    const double height = 2.0 * std::max(bottom - top, (right - left) * 1.2f);
    const double width = height * kPanelWidth / kPanelHeight;
    const QPointF centre((left + right) / 2.0, (top + bottom) / 2.0 - 0.1 * height);
    return QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
}

QImage Panel(const QImage& picture, const QRectF& source, const QString& caption) {
    QImage panel(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
    panel.fill(QColor(kBackground, kBackground, kBackground));
    QPainter painter(&panel);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!picture.isNull()) {
        const double scale = std::min(kPanelWidth / source.width(), kPanelHeight / source.height());
        const QSizeF size = source.size() * scale;
        painter.drawImage(
            QRectF(QPointF((kPanelWidth - size.width()) / 2, (kPanelHeight - size.height()) / 2),
                   size),
            picture, source);
    }
    painter.fillRect(0, kPanelHeight - 22, kPanelWidth, 22, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(QRect(4, kPanelHeight - 22, kPanelWidth - 8, 22),
                     Qt::AlignVCenter | Qt::AlignLeft, caption);
    return panel;
}

// The render in the photo's frame (colour), when the two were aligned; else the render itself.
QImage AlignedRender(const Rendered& r, const QImage& photo) {
    if (!r.comparison) {
        return r.render;
    }
    const QImage rgb = r.render.convertToFormat(QImage::Format_RGB888);
    const cv::Mat source(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         static_cast<size_t>(rgb.bytesPerLine()));
    QImage out(photo.size(), QImage::Format_RGB888);
    cv::Mat target(out.height(), out.width(), CV_8UC3, out.bits(),
                   static_cast<size_t>(out.bytesPerLine()));
    cv::warpAffine(source, target, r.comparison->renderToPhoto.Matrix(), target.size(),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(kBackground, kBackground, kBackground));
    return out;
}

QString Caption(const QString& what, const vm::ViewScore& s) {
    if (!s.photoFound) {
        return what + QStringLiteral(": no face in the photo");
    }
    if (!s.found) {
        return what + QStringLiteral(": no face found");
    }
    return QStringLiteral("%1: %2 %, r %3")
        .arg(what)
        .arg(s.errorPercent, 0, 'f', 1)
        .arg(s.correlation, 0, 'f', 2);
}

QImage SheetRow(const QString& id, const Photo& front, const Rendered& frontRender,
                const vm::ViewScore& frontScore, const Photo& angled, const Rendered& angledRender,
                const vm::ViewScore& angledScore, const QString& fitMessage) {
    QImage row(kPanelWidth * 4, kPanelHeight, QImage::Format_RGB32);
    row.fill(Qt::black);
    QPainter painter(&row);
    const QRectF frontCrop = FaceCrop(front.colour, front.landmarks);
    const QRectF angledCrop = FaceCrop(angled.colour, angled.landmarks);
    painter.drawImage(0, 0, Panel(front.colour, frontCrop, id + QStringLiteral(" front photo")));
    auto renderPanel = [&](const Rendered& r, const Photo& photo, const QRectF& crop,
                           const QString& caption) {
        if (r.render.isNull()) {
            return Panel(QImage(), QRectF(0, 0, 1, 1), fitMessage.isEmpty() ? caption : fitMessage);
        }
        const QImage aligned = AlignedRender(r, photo.colour);
        return Panel(aligned, r.comparison ? crop : QRectF(aligned.rect()), caption);
    };
    painter.drawImage(kPanelWidth, 0,
                      renderPanel(frontRender, front, frontCrop, Caption("front", frontScore)));
    painter.drawImage(2 * kPanelWidth, 0,
                      Panel(angled.colour, angledCrop, id + QStringLiteral(" angled photo")));
    painter.drawImage(3 * kPanelWidth, 0,
                      renderPanel(angledRender, angled, angledCrop,
                                  Caption(angledScore.found ? QStringLiteral("yaw %1").arg(
                                                                  angledScore.yawDegrees, 0, 'f', 1)
                                                            : QStringLiteral("yaw 30-60"),
                                          angledScore)));
    return row;
}

} // namespace

int main(int argc, char** argv) {
    // Captions on the contact sheets need fonts, hence a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName("eval_fit");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Fits real photo pairs with visomorf --auto-fit and compares renders of the heads with "
        "the real front and angled photos.");
    parser.addHelpOption();
    const QCommandLineOption visomorfOption("visomorf", "The program to evaluate.", "path");
    const QCommandLineOption photosOption("photos", "The folder of people (NNN/Img_*.JPG).", "dir");
    const QCommandLineOption outOption("out", "Where the CSV and JSON results go.", "dir");
    const QCommandLineOption leftOption("left", "Fit the left-facing profile (Img_13) and compare "
                                                "with the photo turned left (Img_23).");
    const QCommandLineOption sheetOption(
        "sheet",
        "Write a contact sheet per person into this folder (keep it outside the "
        "repository: the photos are for evaluation only).",
        "dir");
    const QCommandLineOption peopleOption("people", "Only these people, e.g. 001,002.", "list");
    const QCommandLineOption frontOnlyOption(
        "front-only", "Fit the front photo alone (the side stays the generic head's): what the "
                      "front fit achieves by itself.");
    const QCommandLineOption requireOption(
        "require",
        "Which targets decide the exit status: any of fits, front, angled "
        "(default: all). The others are still measured and shown.",
        "list");
    parser.addOptions({visomorfOption, photosOption, outOption, leftOption, sheetOption,
                       peopleOption, frontOnlyOption, requireOption});
    parser.process(app);

    if (!parser.isSet(visomorfOption) || !parser.isSet(photosOption) || !parser.isSet(outOption)) {
        Err() << "eval_fit: --visomorf, --photos and --out are required (see --help)\n";
        return 2;
    }
    const QString program = parser.value(visomorfOption);
    const QDir photos(parser.value(photosOption));
    if (!photos.exists()) {
        Out() << "eval_fit: the evaluation photos are not at " << photos.absolutePath()
              << "; skipping (they are kept outside the repository)\n";
        return 77;
    }
    if (!QFileInfo(program).isExecutable()) {
        Err() << "eval_fit: " << program << " is not an executable program\n";
        return 2;
    }
    Mode mode = parser.isSet(leftOption) ? kLeft : kRight;
    const bool frontOnly = parser.isSet(frontOnlyOption);
    if (frontOnly) {
        mode.name += QStringLiteral("_front_only");
    }

    QStringList everyone = photos.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)
                               .filter(QRegularExpression("^\\d{3}$"));
    if (everyone.isEmpty()) {
        Err() << "eval_fit: no people (folders NNN) in " << photos.absolutePath() << "\n";
        return 2;
    }
    QStringList chosen = everyone;
    if (parser.isSet(peopleOption)) {
        chosen = parser.value(peopleOption).split(',', Qt::SkipEmptyParts);
        for (const QString& id : chosen) {
            if (!everyone.contains(id.trimmed())) {
                Err() << "eval_fit: no person " << id << " in " << photos.absolutePath() << "\n";
                return 2;
            }
        }
    }
    try {
        vm::FaceLandmarker::Instance();
    } catch (const std::exception& failure) {
        Err() << "eval_fit: " << failure.what() << "\n";
        return 2;
    }
    QDir out(parser.value(outOption));
    QDir sheet(parser.isSet(sheetOption) ? parser.value(sheetOption) : QString());
    if (!out.mkpath(".") || (parser.isSet(sheetOption) && !sheet.mkpath("."))) {
        Err() << "eval_fit: cannot create the output folders\n";
        return 2;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        Err() << "eval_fit: no temporary folder: " << scratch.errorString() << "\n";
        return 2;
    }

    Out() << "Evaluating " << program << " on " << chosen.size() << " people in "
          << photos.absolutePath() << " ("
          << (frontOnly ? QStringLiteral("front photo alone") : "profile " + mode.sideFile)
          << ", angled photo " << mode.angledFile << ")\n";
    Out().flush();
    QElapsedTimer total;
    total.start();
    PhotoCache cache(photos);
    std::vector<vm::PersonResult> results;
    std::vector<QImage> rows;
    for (const QString& rawId : chosen) {
        const QString id = rawId.trimmed();
        const QString next = everyone[(everyone.indexOf(id) + 1) % everyone.size()];
        vm::PersonResult result;
        result.id = id;
        const Photo& front = cache.Get(id, kFrontFile);
        const Photo& angled = cache.Get(id, mode.angledFile);
        if (front.colour.isNull() || angled.colour.isNull()) {
            Err() << "eval_fit: " << id << " lacks " << kFrontFile << " or " << mode.angledFile
                  << "\n";
            return 2;
        }
        const QString glb = QDir(scratch.path()).filePath(id + ".glb");
        const FitRun run =
            RunFit(program, photos.filePath(id + '/' + kFrontFile),
                   frontOnly ? QString() : photos.filePath(id + '/' + mode.sideFile), glb);
        result.exitStatus = run.exitStatus;
        result.fitSeconds = run.seconds;
        if (run.exitStatus != 0) {
            result.fitMessage = run.message;
        }
        Rendered frontRender, angledRender;
        if (run.exitStatus == 0) {
            QString error;
            const std::optional<vm::GlbMesh> head = vm::ReadGlbFile(glb, error);
            if (!head) {
                result.fitMessage = QStringLiteral("exit 0 but the export is unreadable: ") + error;
            } else {
                result.fitted = true;
                frontRender = RenderAndScore(*head, 0.0, front, result.front);
                angledRender = BestYaw(*head, angled, mode.yawSign, result.angled);
            }
            QFile::remove(glb);
        }
        if (front.landmarks && angled.landmarks) {
            result.frontPhotoCeiling = vm::FrontPhotoCeiling(
                front.grey, *front.landmarks, angled.grey, *angled.landmarks, kBackground);
        }
        if (next != id) {
            const Photo& otherFront = cache.Get(next, kFrontFile);
            const Photo& otherAngled = cache.Get(next, mode.angledFile);
            result.baselineFront = Score(front, otherFront.grey, otherFront.landmarks);
            result.baselineAngled = Score(angled, otherAngled.grey, otherAngled.landmarks);
        }
        results.push_back(result);
        Out() << id << ": exit " << result.exitStatus << " in "
              << QString::number(run.seconds, 'f', 2) << " s"
              << (result.fitMessage.isEmpty() ? QString() : " (" + result.fitMessage + ")") << "\n";
        Out().flush();
        if (parser.isSet(sheetOption)) {
            const QImage row = SheetRow(id, front, frontRender, result.front, angled, angledRender,
                                        result.angled, result.fitMessage);
            row.save(sheet.filePath(QStringLiteral("%1_%2.png").arg(id, mode.name)));
            if (angledRender.comparison && angled.landmarks) {
                // The photo beside the render warped onto it, inside the compared inner face.
                const cv::Mat mask = vm::InnerFaceMask(*angled.landmarks, angled.grey.size());
                cv::Mat pair(angled.grey.rows, 2 * angled.grey.cols, CV_8UC1, cv::Scalar(0));
                angled.grey.copyTo(pair(cv::Rect(0, 0, angled.grey.cols, angled.grey.rows)), mask);
                angledRender.comparison->warped.copyTo(
                    pair(cv::Rect(angled.grey.cols, 0, angled.grey.cols, angled.grey.rows)), mask);
                QImage(pair.data, pair.cols, pair.rows, static_cast<qsizetype>(pair.step),
                       QImage::Format_Grayscale8)
                    .save(sheet.filePath(QStringLiteral("%1_%2_compared.png").arg(id, mode.name)));
            }
            rows.push_back(row.scaled(row.width() / 2, row.height() / 2, Qt::IgnoreAspectRatio,
                                      Qt::SmoothTransformation));
        }
    }

    const vm::Summary summary = vm::Summarise(results);
    const std::vector<vm::Target> targets = vm::Targets(summary);
    Out() << "\n" << vm::FormatTable(results, summary, targets);
    Out() << "time: " << QString::number(total.nsecsElapsed() / 1e9, 'f', 1) << " s for "
          << results.size() << " people\n";
    QJsonObject json = vm::FormatJson(results, summary, targets);
    json.insert("mode", mode.name);
    json.insert("program", program);
    json.insert("seconds", total.nsecsElapsed() / 1e9);
    const QString base = out.filePath(QStringLiteral("eval_fit_%1").arg(mode.name));
    QFile csv(base + ".csv"), jsonFile(base + ".json");
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        csv.write(vm::FormatCsv(results).toUtf8()) < 0 ||
        !jsonFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        jsonFile.write(QJsonDocument(json).toJson()) < 0) {
        Err() << "eval_fit: cannot write " << base << ".csv / .json\n";
        return 2;
    }
    Out() << "results: " << base << ".csv and .json\n";
    if (!rows.empty()) {
        QImage all(rows.front().width(), rows.front().height() * int(rows.size()),
                   QImage::Format_RGB32);
        QPainter painter(&all);
        for (size_t i = 0; i < rows.size(); ++i) {
            painter.drawImage(0, int(i) * rows.front().height(), rows[i]);
        }
        painter.end();
        all.save(sheet.filePath(QStringLiteral("all_%1.png").arg(mode.name)));
        Out() << "contact sheet: " << sheet.absolutePath() << "\n";
    }
    // Targets in order: the fits, three of the front, three of the angled view.
    const QStringList required = parser.isSet(requireOption)
                                     ? parser.value(requireOption).split(',')
                                     : QStringList{"fits", "front", "angled"};
    for (size_t i = 0; i < targets.size(); ++i) {
        const QString group = i == 0 ? "fits" : i <= 3 ? "front" : "angled";
        if (!targets[i].met && required.contains(group)) {
            return 1;
        }
    }
    return 0;
}
