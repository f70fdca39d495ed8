#include "document/UndoHistory.h"

#include "platform/core/Exceptions.h"

namespace vm {

bool UndoHistory::CanUndo() const {
    return !m_steps.empty() && m_position != 0;
}

bool UndoHistory::CanRedo() const {
    return m_position >= 0 && static_cast<size_t>(m_position) + 1 < m_steps.size();
}

const UndoSnapshot& UndoHistory::CancelPoint() const {
    return m_position >= 0 ? m_steps[static_cast<size_t>(m_position)] : m_editStart;
}

void UndoHistory::Commit() {
    if (m_position >= 0) {
        m_steps.resize(static_cast<size_t>(m_position) + 1);
        m_position = -1;
    } else {
        m_steps.push_back(m_editStart);
    }
}

const UndoSnapshot& UndoHistory::StepBack(UndoSnapshot live) {
    if (!CanUndo()) {
        throw GeneralFailureException();
    }
    if (m_position < 0) {
        m_position = static_cast<int>(m_steps.size()) - 1;
        m_steps.push_back(std::move(live));
    } else {
        --m_position;
    }
    return m_steps[static_cast<size_t>(m_position)];
}

const UndoSnapshot& UndoHistory::StepForward() {
    if (!CanRedo()) {
        throw GeneralFailureException();
    }
    ++m_position;
    return m_steps[static_cast<size_t>(m_position)];
}

void UndoHistory::Clear() {
    m_steps.clear();
    m_position = -1;
}

void UndoHistory::KeepPhoto(int photo, const QImage& image, const QByteArray& jpegBytes) {
    for (UndoSnapshot& snapshot : m_steps) {
        snapshot.photos[photo] = image;
        snapshot.photoJpegBytes[photo] = jpegBytes;
    }
    m_editStart.photos[photo] = image;
    m_editStart.photoJpegBytes[photo] = jpegBytes;
}

} // namespace vm
