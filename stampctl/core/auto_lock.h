#pragma once

#include <QMutex>

// Holds a QMutex for the life of a scope.
class CAutoLock {
public:
    explicit CAutoLock(QMutex* mutex) : m_mutex(mutex) { m_mutex->lock(); }
    ~CAutoLock() { m_mutex->unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    QMutex* m_mutex;
};
