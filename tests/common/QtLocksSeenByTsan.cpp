// Linked into the test programs of a ThreadSanitizer build only (KELO_TSAN).
//
// Qt is not built with ThreadSanitizer, so it does not see Qt's locks: data that our threads
// guard with a QMutex, or hand over through a QWaitCondition or QSemaphore, would be reported as
// raced; so would what a queued or blocking signal hands to another thread. Calls from our code
// into these Qt functions land here first (the program's own symbols come before the library's);
// each tells ThreadSanitizer what the call orders and goes on to Qt's function. Calls inside Qt
// itself do not come here; tests/tsan.supp covers what they order.

#include <dlfcn.h>

extern "C" {
void __tsan_acquire(void* address);
void __tsan_release(void* address);
}

namespace {

template<typename F> F next(const char* symbol)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, symbol));
}

// QDeadlineTimer as it is passed by value.
struct Deadline
{
    long long t1;
    unsigned t2;
    int type;
};

// What every signal emission and event delivery synchronises on, as Qt's event queue does.
char signalClock;

} // namespace

#define KELO_NEXT(type, symbol) static const auto real = next<type>(#symbol)

extern "C" {

void _ZN6QMutex4lockEv(void* mutex)
{
    KELO_NEXT(void (*)(void*), _ZN6QMutex4lockEv);
    real(mutex);
    __tsan_acquire(mutex);
}

bool _ZN6QMutex7tryLockEi(void* mutex, int timeout)
{
    KELO_NEXT(bool (*)(void*, int), _ZN6QMutex7tryLockEi);
    const bool locked = real(mutex, timeout);
    if (locked)
        __tsan_acquire(mutex);
    return locked;
}

void _ZN6QMutex6unlockEv(void* mutex)
{
    KELO_NEXT(void (*)(void*), _ZN6QMutex6unlockEv);
    __tsan_release(mutex);
    real(mutex);
}

void _ZN11QBasicMutex12lockInternalEv(void* mutex)
{
    KELO_NEXT(void (*)(void*), _ZN11QBasicMutex12lockInternalEv);
    real(mutex);
    __tsan_acquire(mutex);
}

bool _ZN11QBasicMutex12lockInternalEi(void* mutex, int timeout)
{
    KELO_NEXT(bool (*)(void*, int), _ZN11QBasicMutex12lockInternalEi);
    const bool locked = real(mutex, timeout);
    if (locked)
        __tsan_acquire(mutex);
    return locked;
}

void _ZN11QBasicMutex14unlockInternalEv(void* mutex)
{
    KELO_NEXT(void (*)(void*), _ZN11QBasicMutex14unlockInternalEv);
    __tsan_release(mutex);
    real(mutex);
}

bool _ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer(void* condition, void* mutex, Deadline deadline)
{
    KELO_NEXT(bool (*)(void*, void*, Deadline), _ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer);
    __tsan_release(mutex);
    const bool woken = real(condition, mutex, deadline);
    __tsan_acquire(mutex);
    return woken;
}

bool _ZN14QWaitCondition4waitEP6QMutexm(void* condition, void* mutex, unsigned long ms)
{
    KELO_NEXT(bool (*)(void*, void*, unsigned long), _ZN14QWaitCondition4waitEP6QMutexm);
    __tsan_release(mutex);
    const bool woken = real(condition, mutex, ms);
    __tsan_acquire(mutex);
    return woken;
}

void _ZN10QSemaphore7acquireEi(void* semaphore, int n)
{
    KELO_NEXT(void (*)(void*, int), _ZN10QSemaphore7acquireEi);
    real(semaphore, n);
    __tsan_acquire(semaphore);
}

bool _ZN10QSemaphore10tryAcquireEi(void* semaphore, int n)
{
    KELO_NEXT(bool (*)(void*, int), _ZN10QSemaphore10tryAcquireEi);
    const bool taken = real(semaphore, n);
    if (taken)
        __tsan_acquire(semaphore);
    return taken;
}

bool _ZN10QSemaphore10tryAcquireEii(void* semaphore, int n, int timeout)
{
    KELO_NEXT(bool (*)(void*, int, int), _ZN10QSemaphore10tryAcquireEii);
    const bool taken = real(semaphore, n, timeout);
    if (taken)
        __tsan_acquire(semaphore);
    return taken;
}

void _ZN10QSemaphore7releaseEi(void* semaphore, int n)
{
    KELO_NEXT(void (*)(void*, int), _ZN10QSemaphore7releaseEi);
    __tsan_release(semaphore);
    real(semaphore, n);
}

// Signals: an emission from our code releases, a delivery of an event to one of our objects
// acquires before and releases after, and the emitter acquires once its emission returns. So a
// queued slot sees what was done before the emission, and a blocking emission sees what its slot
// did, as Qt's event queue and semaphore guarantee; two threads emitting at once stay unordered.
void _ZN11QMetaObject8activateEP7QObjectPKS_iPPv(void* sender, const void* meta, int index, void** args)
{
    KELO_NEXT(void (*)(void*, const void*, int, void**), _ZN11QMetaObject8activateEP7QObjectPKS_iPPv);
    __tsan_release(&signalClock);
    real(sender, meta, index, args);
    __tsan_acquire(&signalClock);
}

bool _ZN7QObject5eventEP6QEvent(void* object, void* event)
{
    KELO_NEXT(bool (*)(void*, void*), _ZN7QObject5eventEP6QEvent);
    __tsan_acquire(&signalClock);
    const bool handled = real(object, event);
    __tsan_release(&signalClock);
    return handled;
}

bool _ZN7QThread5eventEP6QEvent(void* thread, void* event)
{
    KELO_NEXT(bool (*)(void*, void*), _ZN7QThread5eventEP6QEvent);
    __tsan_acquire(&signalClock);
    const bool handled = real(thread, event);
    __tsan_release(&signalClock);
    return handled;
}

} // extern "C"
