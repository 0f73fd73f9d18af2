// Linked into the test programs of a ThreadSanitizer build only (KELO_TSAN).
//
// Qt is not built with ThreadSanitizer, so it does not see Qt's locks: data that our threads
// guard with a QMutex, or hand over through a QWaitCondition or QSemaphore, would be reported as
// raced; so would what a queued or blocking signal hands to another thread. Calls from our code
// into these Qt functions land here first (the program's own symbols come before the library's);
// each tells ThreadSanitizer what the call orders and goes on to Qt's function. Calls inside Qt
// itself do not come here; tests/tsan.supp covers what they order.
//
// It also ends the program when a QSignalSpy is fed from a thread other than its own (see
// checkSpies), the fault that a race report shows only when the timing happens to expose it.

#include <QMetaObject>
#include <QSignalSpy>
#include <QThread>
#include <QThreadStorage>

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <utility>

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

// A QThread's end: Qt wakes QThread::wait() through its own lock, after it has emitted finished()
// and deleted the thread's QThreadStorage values. So a value here releases on the QThread when the
// thread ends, and wait() acquires on it once it returns: what the thread did, its deferred deletes
// too, comes before what its waiter does next (typically deleting the objects the thread used).
// A thread gets its value from finished(), to which every QThread our code makes or starts is
// connected (its constructor and QThread::start below).
struct ThreadEnd
{
    explicit ThreadEnd(QThread* t)
        : thread(t)
    {}
    ~ThreadEnd() { __tsan_release(thread); }
    QThread* thread;
};

QThreadStorage<ThreadEnd*>& threadEnds()
{
    static QThreadStorage<ThreadEnd*> ends;
    return ends;
}

void noteThread()
{
    QThreadStorage<ThreadEnd*>& ends = threadEnds();
    if (!ends.hasLocalData())
        ends.setLocalData(new ThreadEnd(QThread::currentThread()));
}

// A QThread's finished() also releases what the thread did to whoever its queued connections
// reach (a deleteLater, say): connected before any other, it runs before Qt queues them.
void watchThreadEnd(QThread* thread)
{
    QObject::connect(thread, &QThread::finished, [thread] {
        noteThread();
        __tsan_release(thread);
        __tsan_release(&signalClock);
    });
}

// The QSignalSpys of the program by the signal they record (sender and method index). A spy
// appends on the emitting thread and reads on its own without a lock; an emission from another
// thread is the heap corruption QueuedSignalSpy is there to avoid, whether or not it happens to
// race this time. So it ends the program, naming the signal.
std::mutex spiesLock;
std::map<std::pair<const QObject*, int>, const QObject*> spies;

void checkSpies(const QObject* sender, const QMetaObject* meta, int localSignal)
{
    const int method = meta->methodOffset() + localSignal;
    const QObject* spy = nullptr;
    {
        std::lock_guard<std::mutex> lock(spiesLock);
        const auto it = spies.find({sender, method});
        if (it != spies.end())
            spy = it->second;
    }
    if (spy && spy->thread() != QThread::currentThread())
        qFatal("QSignalSpy on %s::%s is fed from another thread: use QueuedSignalSpy", meta->className(),
               meta->method(method).methodSignature().constData());
}

// Every event Qt delivers, to any object on any thread, goes through QCoreApplication first:
// the delivery of a queued call acquires there even when its receiver is a plain QObject, whose
// event() is Qt's own and never comes here.
bool eventDelivered(void**)
{
    __tsan_acquire(&signalClock);
    return false;
}
const bool eventHook = QInternal::registerCallback(QInternal::EventNotifyCallback, eventDelivered);

} // namespace

// Qt's own functions that our code calls with C++ arguments, defined here with their own
// declarations; each goes on to Qt's.

QMetaObject::Connection QMetaObject::connect(const QObject* sender, int signal, const QObject* receiver, int method,
                                             int type, int* types)
{
    using Real = Connection (*)(const QObject*, int, const QObject*, int, int, int*);
    static const auto real = next<Real>("_ZN11QMetaObject7connectEPK7QObjectiS2_iiPi");
    Connection c = real(sender, signal, receiver, method, type, types);
    if (c && dynamic_cast<const QSignalSpy*>(receiver)) {
        {
            std::lock_guard<std::mutex> lock(spiesLock);
            spies[{sender, signal}] = receiver;
        }
        QObject::connect(receiver, &QObject::destroyed, [sender, signal, receiver] {
            std::lock_guard<std::mutex> lock(spiesLock);
            const auto it = spies.find({sender, signal});
            if (it != spies.end() && it->second == receiver)
                spies.erase(it);
        });
    }
    return c;
}

// A call handed to another object's thread orders like a queued emission.
bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot, Qt::ConnectionType type,
                                   void* ret)
{
    using Real = bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*);
    static const auto real =
        next<Real>("_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
    __tsan_release(&signalClock);
    const bool done = real(object, slot, type, ret);
    __tsan_acquire(&signalClock);
    return done;
}

bool QMetaObject::invokeMethod(QObject* object, const char* member, Qt::ConnectionType type, QGenericReturnArgument ret,
                               QGenericArgument a0, QGenericArgument a1, QGenericArgument a2, QGenericArgument a3,
                               QGenericArgument a4, QGenericArgument a5, QGenericArgument a6, QGenericArgument a7,
                               QGenericArgument a8, QGenericArgument a9)
{
    using Real = bool (*)(QObject*, const char*, Qt::ConnectionType, QGenericReturnArgument, QGenericArgument,
                          QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                          QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument);
    static const auto real = next<Real>("_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22"
                                        "QGenericReturnArgument16QGenericArgumentS7_S7_S7_S7_S7_S7_S7_S7_S7_");
    __tsan_release(&signalClock);
    const bool done = real(object, member, type, ret, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
    __tsan_acquire(&signalClock);
    return done;
}

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
    checkSpies(static_cast<const QObject*>(sender), static_cast<const QMetaObject*>(meta), index);
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

void _ZN7QThreadC1EP7QObject(QThread* thread, QObject* parent)
{
    KELO_NEXT(void (*)(QThread*, QObject*), _ZN7QThreadC1EP7QObject);
    real(thread, parent);
    watchThreadEnd(thread);
}

void _ZN7QThreadC2EP7QObject(QThread* thread, QObject* parent)
{
    KELO_NEXT(void (*)(QThread*, QObject*), _ZN7QThreadC2EP7QObject);
    real(thread, parent);
    watchThreadEnd(thread);
}

// A thread that Qt made for us (QThread::create) did not pass through the constructors above.
// Watched again here, a thread of ours releases twice at its end, which orders nothing new.
void _ZN7QThread5startENS_8PriorityE(QThread* thread, int priority)
{
    KELO_NEXT(void (*)(QThread*, int), _ZN7QThread5startENS_8PriorityE);
    watchThreadEnd(thread);
    real(thread, priority);
}

bool _ZN7QThread4waitE14QDeadlineTimer(void* thread, Deadline deadline)
{
    KELO_NEXT(bool (*)(void*, Deadline), _ZN7QThread4waitE14QDeadlineTimer);
    const bool ended = real(thread, deadline);
    if (ended)
        __tsan_acquire(thread);
    return ended;
}

bool _ZN7QThread4waitEm(void* thread, unsigned long ms)
{
    KELO_NEXT(bool (*)(void*, unsigned long), _ZN7QThread4waitEm);
    const bool ended = real(thread, ms);
    if (ended)
        __tsan_acquire(thread);
    return ended;
}

} // extern "C"
