#include "EvalReport.h"

#include <QJsonArray>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <limits>

namespace vm {

namespace {

// At least this share of n, rounded up: 95 % of 20 is 19.
int ShareOf(int n, double share) {
    return static_cast<int>(std::ceil(n * share - 1e-9));
}

QString Number(double value, int decimals) {
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("-");
}

QJsonValue JsonNumber(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonObject ViewJson(const ViewScore& v, bool withYaw) {
    QJsonObject o{{"photo_found", v.photoFound},
                  {"found", v.found},
                  {"error_percent", v.found ? JsonNumber(v.errorPercent) : QJsonValue()},
                  {"correlation", v.found ? JsonNumber(v.correlation) : QJsonValue()}};
    if (withYaw) {
        o.insert("yaw_degrees", v.found ? JsonNumber(v.yawDegrees) : QJsonValue());
    }
    return o;
}

} // namespace

double Median(std::vector<double> values) {
    values.erase(
        std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }),
        values.end());
    if (values.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

Summary Summarise(const std::vector<PersonResult>& people) {
    Summary s;
    s.people = static_cast<int>(people.size());
    std::vector<double> seconds, fe, fc, ay, ae, ac, bfe, bfc, bae, bac, ceiling;
    for (const PersonResult& p : people) {
        seconds.push_back(p.fitSeconds);
        if (p.fitted) {
            ++s.fitted;
            if (p.front.found) {
                ++s.frontFound;
                fe.push_back(p.front.errorPercent);
                fc.push_back(p.front.correlation);
            }
            if (p.angled.found) {
                ++s.angledFound;
                ay.push_back(p.angled.yawDegrees);
                ae.push_back(p.angled.errorPercent);
                ac.push_back(p.angled.correlation);
            }
        }
        if (p.baselineFront.found) {
            bfe.push_back(p.baselineFront.errorPercent);
            bfc.push_back(p.baselineFront.correlation);
        }
        if (p.baselineAngled.found) {
            bae.push_back(p.baselineAngled.errorPercent);
            bac.push_back(p.baselineAngled.correlation);
        }
        ceiling.push_back(p.frontPhotoCeiling);
    }
    s.medianFitSeconds = Median(seconds);
    s.frontError = Median(fe), s.frontCorrelation = Median(fc);
    s.angledYaw = Median(ay), s.angledError = Median(ae), s.angledCorrelation = Median(ac);
    s.baselineFrontError = Median(bfe), s.baselineFrontCorrelation = Median(bfc);
    s.baselineAngledError = Median(bae), s.baselineAngledCorrelation = Median(bac);
    s.frontPhotoCeiling = Median(ceiling);
    return s;
}

std::vector<Target> Targets(const Summary& s) {
    const int fits = ShareOf(s.people, 0.95), angled = ShareOf(s.people, 0.85);
    // A NaN median (no face found anywhere) fails every comparison, as it should.
    return {
        {"fits that succeed", QStringLiteral(">= %1").arg(fits), double(s.fitted),
         s.fitted >= fits},
        {"front faces found", QStringLiteral("= %1 (every fitted head)").arg(s.fitted),
         double(s.frontFound), s.frontFound == s.fitted && s.fitted > 0},
        {"front median error %", "< 2.5", s.frontError, s.frontError < 2.5},
        {"front median correlation", "> 0.9", s.frontCorrelation, s.frontCorrelation > 0.9},
        {"angled faces found", QStringLiteral(">= %1").arg(angled), double(s.angledFound),
         s.angledFound >= angled},
        {"angled median error %", "< 4", s.angledError, s.angledError < 4.0},
        {"angled median correlation", "> 0.65", s.angledCorrelation, s.angledCorrelation > 0.65},
    };
}

QString FormatTable(const std::vector<PersonResult>& people, const Summary& s,
                    const std::vector<Target>& targets) {
    QString out;
    QTextStream t(&out);
    auto view = [](const ViewScore& v, bool yaw) {
        QString cell;
        if (!v.photoFound) {
            cell = QStringLiteral("photo?");
        } else if (!v.found) {
            cell = QStringLiteral("no");
        } else {
            cell = QStringLiteral("yes");
        }
        cell = cell.leftJustified(7);
        if (yaw) {
            cell += (v.found ? Number(v.yawDegrees, 1) : QStringLiteral("-")).rightJustified(5);
        }
        cell += (v.found ? Number(v.errorPercent, 2) : QStringLiteral("-")).rightJustified(7);
        cell += (v.found ? Number(v.correlation, 3) : QStringLiteral("-")).rightJustified(7);
        return cell;
    };
    t << "person  exit  time s | front  found  err %   corr | angled found  yaw  err %   corr"
         " | other person: front err % corr, angled err % corr | front photo carried\n";
    for (const PersonResult& p : people) {
        t << p.id.leftJustified(7) << QString::number(p.exitStatus).rightJustified(5)
          << Number(p.fitSeconds, 2).rightJustified(8) << " |       "
          << (p.fitted ? view(p.front, false) : QStringLiteral("(no head)").leftJustified(21))
          << " |        "
          << (p.fitted ? view(p.angled, true) : QStringLiteral("(no head)").leftJustified(26))
          << " | " << Number(p.baselineFront.found ? p.baselineFront.errorPercent : NAN, 2) << " "
          << Number(p.baselineFront.found ? p.baselineFront.correlation : NAN, 3) << ", "
          << Number(p.baselineAngled.found ? p.baselineAngled.errorPercent : NAN, 2) << " "
          << Number(p.baselineAngled.found ? p.baselineAngled.correlation : NAN, 3) << " | "
          << Number(p.frontPhotoCeiling, 3);
        if (!p.fitMessage.isEmpty()) {
            t << "  [" << p.fitMessage << "]";
        }
        t << "\n";
    }
    t << "median " << QString().rightJustified(5) << Number(s.medianFitSeconds, 2).rightJustified(8)
      << " |       " << QString::number(s.frontFound).leftJustified(7)
      << Number(s.frontError, 2).rightJustified(7)
      << Number(s.frontCorrelation, 3).rightJustified(7) << " |        "
      << QString::number(s.angledFound).leftJustified(7) << Number(s.angledYaw, 1).rightJustified(5)
      << Number(s.angledError, 2).rightJustified(7)
      << Number(s.angledCorrelation, 3).rightJustified(7) << " | "
      << Number(s.baselineFrontError, 2) << " " << Number(s.baselineFrontCorrelation, 3) << ", "
      << Number(s.baselineAngledError, 2) << " " << Number(s.baselineAngledCorrelation, 3) << " | "
      << Number(s.frontPhotoCeiling, 3) << "\n\n";
    t << "fitted " << s.fitted << " of " << s.people << "\n";
    for (const Target& target : targets) {
        t << (target.met ? "  met     " : "  MISSED  ") << target.name.leftJustified(27)
          << Number(target.value, 3).rightJustified(8) << "   wanted " << target.wanted << "\n";
    }
    return out;
}

QString FormatCsv(const std::vector<PersonResult>& people) {
    QString out;
    QTextStream t(&out);
    t << "person,exit_status,fit_seconds,fitted,front_photo_found,front_found,"
         "front_error_percent,front_correlation,angled_photo_found,angled_found,"
         "angled_yaw_degrees,angled_error_percent,angled_correlation,"
         "other_front_error_percent,other_front_correlation,other_angled_error_percent,"
         "other_angled_correlation,front_photo_carried_correlation,fit_message\n";
    auto num = [](bool valid, double v, int decimals) {
        return valid && std::isfinite(v) ? QString::number(v, 'f', decimals) : QString();
    };
    for (const PersonResult& p : people) {
        QString message = p.fitMessage;
        message.replace('"', QStringLiteral("\"\""));
        t << p.id << ',' << p.exitStatus << ',' << num(true, p.fitSeconds, 3) << ','
          << int(p.fitted) << ',' << int(p.front.photoFound) << ',' << int(p.front.found) << ','
          << num(p.front.found, p.front.errorPercent, 3) << ','
          << num(p.front.found, p.front.correlation, 4) << ',' << int(p.angled.photoFound) << ','
          << int(p.angled.found) << ',' << num(p.angled.found, p.angled.yawDegrees, 2) << ','
          << num(p.angled.found, p.angled.errorPercent, 3) << ','
          << num(p.angled.found, p.angled.correlation, 4) << ','
          << num(p.baselineFront.found, p.baselineFront.errorPercent, 3) << ','
          << num(p.baselineFront.found, p.baselineFront.correlation, 4) << ','
          << num(p.baselineAngled.found, p.baselineAngled.errorPercent, 3) << ','
          << num(p.baselineAngled.found, p.baselineAngled.correlation, 4) << ','
          << num(true, p.frontPhotoCeiling, 4) << ",\"" << message << "\"\n";
    }
    return out;
}

QJsonObject FormatJson(const std::vector<PersonResult>& people, const Summary& s,
                       const std::vector<Target>& targets) {
    QJsonArray rows;
    for (const PersonResult& p : people) {
        rows.append(
            QJsonObject{{"person", p.id},
                        {"exit_status", p.exitStatus},
                        {"fit_seconds", p.fitSeconds},
                        {"fit_message", p.fitMessage},
                        {"fitted", p.fitted},
                        {"front", ViewJson(p.front, false)},
                        {"angled", ViewJson(p.angled, true)},
                        {"other_person_front", ViewJson(p.baselineFront, false)},
                        {"other_person_angled", ViewJson(p.baselineAngled, false)},
                        {"front_photo_carried_correlation", JsonNumber(p.frontPhotoCeiling)}});
    }
    QJsonArray goals;
    bool all = true;
    for (const Target& t : targets) {
        goals.append(QJsonObject{{"name", t.name},
                                 {"wanted", t.wanted},
                                 {"value", JsonNumber(t.value)},
                                 {"met", t.met}});
        all = all && t.met;
    }
    const QJsonObject medians{
        {"fit_seconds", JsonNumber(s.medianFitSeconds)},
        {"front_error_percent", JsonNumber(s.frontError)},
        {"front_correlation", JsonNumber(s.frontCorrelation)},
        {"angled_yaw_degrees", JsonNumber(s.angledYaw)},
        {"angled_error_percent", JsonNumber(s.angledError)},
        {"angled_correlation", JsonNumber(s.angledCorrelation)},
        {"other_person_front_error_percent", JsonNumber(s.baselineFrontError)},
        {"other_person_front_correlation", JsonNumber(s.baselineFrontCorrelation)},
        {"other_person_angled_error_percent", JsonNumber(s.baselineAngledError)},
        {"other_person_angled_correlation", JsonNumber(s.baselineAngledCorrelation)},
        {"front_photo_carried_correlation", JsonNumber(s.frontPhotoCeiling)}};
    return QJsonObject{{"people", rows},
                       {"count", s.people},
                       {"fitted", s.fitted},
                       {"front_found", s.frontFound},
                       {"angled_found", s.angledFound},
                       {"medians", medians},
                       {"targets", goals},
                       {"targets_met", all}};
}

} // namespace vm
