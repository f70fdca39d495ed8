#pragma once
// The evaluation's results: one row per person, the medians, the targets and how they are
// written (a table for people, CSV and JSON for programs).
#include <QJsonObject>
#include <QString>
#include <limits>
#include <vector>

namespace vm {

// One view of one person: the photo against a picture of the same view (the render of the
// fitted head, or another person's photo for the baseline).
struct ViewScore {
    bool photoFound = false; // the detector found the face in the real photo
    bool found = false;      // ... and in the picture compared with it
    double yawDegrees = 0;   // the render's turn (0 at the front)
    double errorPercent = 0; // mean landmark error, % of the photo's outer-eye distance
    double correlation = 0;  // grey-level correlation of the aligned inner face
};

struct PersonResult {
    QString id;            // the folder's name, "001"
    int exitStatus = -1;   // the fit's; -1 when it did not run to the end (crash, time-out)
    double fitSeconds = 0; // wall clock, process start to end
    QString fitMessage;    // the program's last line on stderr when it failed
    bool fitted = false;   // exit 0 and a readable head
    ViewScore front, angled;
    ViewScore baselineFront, baselineAngled; // this person's photo against the next person's
    // The front photo carried through the landmarks onto the angled photo: the correlation a
    // texture from the front photo can reach at that turn (NaN without both photos' landmarks).
    double frontPhotoCeiling = std::numeric_limits<double>::quiet_NaN();
};

struct Summary {
    int people = 0;
    int fitted = 0;
    int frontFound = 0;  // among the fitted heads
    int angledFound = 0; // among the fitted heads
    double medianFitSeconds = 0;
    double frontError = 0, frontCorrelation = 0; // medians over the found faces
    double angledYaw = 0, angledError = 0, angledCorrelation = 0;
    double baselineFrontError = 0, baselineFrontCorrelation = 0;
    double baselineAngledError = 0, baselineAngledCorrelation = 0;
    double frontPhotoCeiling = 0;
};

struct Target {
    QString name;
    QString wanted; // "≥ 19", "< 2.5"
    double value = 0;
    bool met = false;
};

// The median of the finite values; NaN when there are none.
double Median(std::vector<double> values);

Summary Summarise(const std::vector<PersonResult>& people);

// The targets for the automatic fit, scaled to the number of people evaluated: the fit succeeds
// for 95 % (19 of 20); the front face is found in every fitted head with a median error under
// 2.5 % and a median correlation over 0.9; the angled face is found for 85 % (17 of 20) with a
// median error under 4 % and a median correlation over 0.65.
std::vector<Target> Targets(const Summary& summary);

QString FormatTable(const std::vector<PersonResult>& people, const Summary& summary,
                    const std::vector<Target>& targets);
QString FormatCsv(const std::vector<PersonResult>& people);
QJsonObject FormatJson(const std::vector<PersonResult>& people, const Summary& summary,
                       const std::vector<Target>& targets);

} // namespace vm
