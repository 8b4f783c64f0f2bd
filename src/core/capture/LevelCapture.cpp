#include "capture/LevelCapture.h"

namespace kelm {

bool CaptureQueue::push(CaptureBuffer& buffer) {
    if (m_count == kCapacity) return false;
    m_slots[size_t((m_head + m_count) % kCapacity)] = &buffer;
    ++m_count;
    return true;
}

void CaptureQueue::advance(int frames) {
    CaptureBuffer* b = head();
    if (!b) return;
    b->framesRecorded += frames;
    if (b->framesRecorded < CaptureBuffer::kFrames) return;
    b->framesRecorded = CaptureBuffer::kFrames;
    b->done = true;
    m_head = (m_head + 1) % kCapacity;
    --m_count;
}

void CaptureQueue::returnAll() {
    while (CaptureBuffer* b = head()) {
        b->done = true;
        m_head = (m_head + 1) % kCapacity;
        --m_count;
    }
    m_head = 0;
}

}  // namespace kelm
