// The history on its own: which snapshot each step returns, without a document around it.
#include "document/UndoHistory.h"

#include "platform/core/Exceptions.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

// A snapshot told apart by its blend zone width.
UndoSnapshot State(float mark) {
    UndoSnapshot snapshot;
    snapshot.blendZoneWidth = mark;
    return snapshot;
}

// Three edits from states 1, 2 and 3; the live state is 4.
void RecordThreeEdits(UndoHistory& history) {
    for (float mark : {1.0f, 2.0f, 3.0f}) {
        history.EditStart() = State(mark);
        history.Commit();
    }
}

TEST(UndoHistory, BrowsingBackKeepsTheLiveStateAndWalksEveryStepBothWays) {
    UndoHistory history;
    RecordThreeEdits(history);
    EXPECT_EQ(history.StepBack(State(4)).blendZoneWidth, 3.0f);
    // Only the first step back keeps the live state; later ones ignore what they are given.
    EXPECT_EQ(history.StepBack(State(99)).blendZoneWidth, 2.0f);
    EXPECT_EQ(history.StepBack(State(99)).blendZoneWidth, 1.0f);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_THROW(history.StepBack(State(99)), GeneralFailureException);
    EXPECT_EQ(history.Size(), 4u);
    EXPECT_EQ(history.CancelPoint().blendZoneWidth, 1.0f);
    for (float mark : {2.0f, 3.0f, 4.0f}) {
        EXPECT_EQ(history.StepForward().blendZoneWidth, mark);
    }
    EXPECT_FALSE(history.CanRedo());
    EXPECT_THROW(history.StepForward(), GeneralFailureException);
}

TEST(UndoHistory, AnEditWhileBrowsingDropsTheStepsAfterTheBrowsedOne) {
    UndoHistory history;
    RecordThreeEdits(history);
    history.StepBack(State(4));
    history.StepBack({});
    history.Commit(); // an edit of state 2
    EXPECT_TRUE(history.AtNewest());
    EXPECT_EQ(history.Size(), 2u);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.StepBack(State(5)).blendZoneWidth, 2.0f);
    EXPECT_EQ(history.StepForward().blendZoneWidth, 5.0f);
}

TEST(UndoHistory, ALoadedPhotoReachesEveryStepAndTheEditStart) {
    UndoHistory history;
    RecordThreeEdits(history);
    QImage photo(4, 4, QImage::Format_RGB32);
    photo.fill(Qt::red);
    history.KeepPhoto(Side, photo, QByteArrayLiteral("jpeg"));
    EXPECT_EQ(history.EditStart().photos[Side].cacheKey(), photo.cacheKey());
    const UndoSnapshot* step = &history.StepBack(State(4));
    for (int steps = 0; steps < 3; ++steps) {
        EXPECT_EQ(step->photos[Side].cacheKey(), photo.cacheKey());
        EXPECT_EQ(step->photoJpegBytes[Side], "jpeg");
        EXPECT_TRUE(step->photos[Front].isNull());
        step = history.CanUndo() ? &history.StepBack({}) : step;
    }
    history.Clear();
    EXPECT_TRUE(history.Empty());
    EXPECT_TRUE(history.AtNewest());
    EXPECT_FALSE(history.CanUndo());
}

} // namespace
} // namespace vm
