#pragma once
// The automatic fit of a whole document: both photos fitted, the results applied through the
// document's own operations as one undoable step.
#include "autofit/PhotoFit.h"

namespace vm {

class CVisomorfDoc;
class FaceLandmarker;

struct DocumentFitReport {
    PhotoFit photos[2];     // Front, Side; a photo slot without a photo is left unfitted
    bool attempted[2] = {}; // whether the photo was there to fit
    bool applied = false;   // something changed in the document
};

// Fits every loaded photo of the document. With applyPartial, the photos that fitted are
// applied even when the other did not; otherwise a failure leaves the document untouched.
// Throws std::runtime_error when the detectors' model files are missing.
DocumentFitReport AutoFitDocument(CVisomorfDoc& doc, bool applyPartial);

// What Match Side Photo to Front did.
struct SideMatch {
    bool byLandmarks = false; // else by the boxes' heights
    double scale = 1;         // front pixels per side pixel
    double roll = 0;          // radians
};

// Resamples the side photo so that the head's heights agree with the front photo's: from the
// landmarks both photos show when they can be found (the profile looking the document's way),
// else from the two boxes' tops and bottoms. The side points, box and blend zone stay on the
// same places of the photo. One undo step; the document is marked modified. Throws
// std::invalid_argument without both photos.
SideMatch MatchSidePhotoToFront(CVisomorfDoc& doc);

// Moves the photo's box and points to the fit's targets as a hand drag would (the box, then
// every point with its vertex weights), so mesh and texture coordinates follow. Records no
// history and calls no UpdateAllViews; AutoFitDocument wraps it as one undo step.
void ApplyPhotoFit(CVisomorfDoc& doc, int photo, const PhotoFit& fit);

} // namespace vm
