#pragma once
// A critical section and its scoped holder: every lock of the program is one of these,
// held for a few instructions at a time.

#include <windows.h>

class CLock {
public:
    CLock() { InitializeCriticalSection(&cs_); }
    virtual ~CLock() { DeleteCriticalSection(&cs_); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    void Enter() { EnterCriticalSection(&cs_); }
    void Leave() { LeaveCriticalSection(&cs_); }
private:
    CRITICAL_SECTION cs_;
};

class CLockGuard {
public:
    explicit CLockGuard(CLock& lock) : lock_(lock) { lock_.Enter(); }
    ~CLockGuard() { lock_.Leave(); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;
private:
    CLock& lock_;
};
