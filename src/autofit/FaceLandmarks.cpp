#include "autofit/FaceLandmarks.h"

#include <QFileInfo>
#include <algorithm>
#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/opencv/cv_image.h>
#include <mutex>
#include <stdexcept>

namespace vm {

namespace {

// Detections weaker than this are mostly badges, patterns and shadows; real faces in ordinary
// portraits score from about 0.5 upwards.
constexpr double kDetectionThreshold = 0.2;

} // namespace

struct FaceLandmarker::Models {
    dlib::frontal_face_detector detector = dlib::get_frontal_face_detector();
    dlib::shape_predictor predictor;
};

QString FaceLandmarker::ModelPath() {
    const QByteArray overridden = qgetenv("VISOMORF_LANDMARK_MODEL");
    if (!overridden.isEmpty()) {
        return QString::fromLocal8Bit(overridden);
    }
    return QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat");
}

const FaceLandmarker& FaceLandmarker::Instance() {
    // Loaded once per process: the model takes about a second to read.
    static std::unique_ptr<FaceLandmarker> instance;
    static std::mutex guard;
    const std::lock_guard<std::mutex> lock(guard);
    if (!instance) {
        instance = std::make_unique<FaceLandmarker>(ModelPath());
    }
    return *instance;
}

FaceLandmarker::FaceLandmarker(const QString& modelPath) {
    if (!QFileInfo(modelPath).isFile()) {
        throw std::runtime_error(
            QStringLiteral("the face landmark model %1 is missing (install the package "
                           "libdlib-data)")
                .arg(modelPath)
                .toStdString());
    }
    m_models = std::make_unique<Models>();
    try {
        dlib::deserialize(modelPath.toStdString()) >> m_models->predictor;
    } catch (const std::exception& failure) {
        throw std::runtime_error(QStringLiteral("the face landmark model %1 cannot be read: %2")
                                     .arg(modelPath, QString::fromLocal8Bit(failure.what()))
                                     .toStdString());
    }
}

FaceLandmarker::~FaceLandmarker() = default;

std::vector<DetectedFace> FaceLandmarker::Detect(const GreyImage& grey) const {
    if (grey.bits == nullptr || grey.width <= 0 || grey.height <= 0) {
        return {};
    }
    const cv::Mat pixels(grey.height, grey.width, CV_8UC1, const_cast<uint8_t*>(grey.bits),
                         grey.stride);
    const dlib::cv_image<unsigned char> image(pixels);
    std::vector<dlib::rect_detection> detections;
    m_models->detector(image, detections, kDetectionThreshold);
    std::vector<DetectedFace> faces;
    for (const dlib::rect_detection& detection : detections) {
        const dlib::rectangle& r = detection.rect;
        const dlib::full_object_detection shape = m_models->predictor(image, r);
        DetectedFace face;
        face.box = {static_cast<float>(r.left()), static_cast<float>(r.top()),
                    static_cast<float>(r.left() + r.width()),
                    static_cast<float>(r.top() + r.height())};
        face.score = detection.detection_confidence;
        for (int i = 0; i < kLandmarkCount; ++i) {
            const dlib::point p = shape.part(static_cast<unsigned long>(i));
            face.landmarks[static_cast<size_t>(i)] = {static_cast<float>(p.x()),
                                                      static_cast<float>(p.y())};
        }
        faces.push_back(face);
    }
    std::sort(faces.begin(), faces.end(), [](const DetectedFace& a, const DetectedFace& b) {
        return a.box.Width() * a.box.Height() > b.box.Width() * b.box.Height();
    });
    return faces;
}

} // namespace vm
