#include "manager/record_caches.h"

namespace unified_track {

bool RecordCaches::HoldUser(const ContextSpecialParam &record, size_t limit) {
    MutexLock guard(m_lock);
    if (m_user.size() > limit) return false;
    m_user.push_back(record);
    return true;
}

bool RecordCaches::HoldMedia(const ContextSpecialParam &record, size_t limit) {
    MutexLock guard(m_lock);
    if (m_media.size() > limit) return false;
    m_media.push_back(record);
    return true;
}

RecordCaches::Records RecordCaches::UserRecords() {
    MutexLock guard(m_lock);
    return m_user;
}

RecordCaches::Records RecordCaches::MediaRecords() {
    MutexLock guard(m_lock);
    return m_media;
}

size_t RecordCaches::UserCount() {
    MutexLock guard(m_lock);
    return m_user.size();
}

size_t RecordCaches::MediaCount() {
    MutexLock guard(m_lock);
    return m_media.size();
}

void RecordCaches::ClearUser() {
    MutexLock guard(m_lock);
    m_user.clear();
}

void RecordCaches::ClearMedia() {
    MutexLock guard(m_lock);
    m_media.clear();
}

}  // namespace unified_track
