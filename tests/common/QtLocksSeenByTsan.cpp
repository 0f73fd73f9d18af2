// Linked into the test programs of a ThreadSanitizer build only (KELO_TSAN).
//
// Qt is not built with ThreadSanitizer, so it sees neither Qt's locks nor its event queues. The
// calls our code makes into these Qt functions land here first (the program's own symbols come
// before the library's); each tells ThreadSanitizer what Qt orders there and goes on to Qt's
// function. Exactly these orders, and nothing else:
// - a QMutex our code takes orders as a mutex, across QWaitCondition::wait too;
// - a queued emission, a queued invokeMethod or a deleteLater releases on its receiver, and the
//   delivery of a queued call or deferred delete to that receiver acquires there: the caller's
//   past comes before the receiver's handling of what it sent;
// - a blocking emission or call comes back after what its receiver's thread did up to the slot's
//   end;
// - a thread's end (after finished() and its deferred deletes) comes before QThread::wait returns
//   true, and before the deliveries that finished() queued.
// Two threads that merely both emit signals and handle events are not ordered: tst_TsanCanary
// plants such a race and scripts/tsan requires its report. Calls inside Qt itself do not come
// here; tests/tsan.supp names the Qt frames whose reports it drops.
//
// The program ends at start with a message when Qt lacks one of these functions, or when the
// program's own definition is not the one calls resolve to (nothing would be seen then).
//
// It also ends the program when a QSignalSpy is fed from a thread other than its own: the heap
// corruption QueuedSignalSpy is there to avoid, which a race report shows only when the timing
// happens to expose it.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMutex>
#include <QSignalSpy>
#include <QThread>
#include <QThreadStorage>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

extern "C" {
void __tsan_acquire(void* address);
void __tsan_release(void* address);
void AnnotateIgnoreSyncBegin(const char* file, int line);
void AnnotateIgnoreSyncEnd(const char* file, int line);
void AnnotateIgnoreReadsBegin(const char* file, int line);
void AnnotateIgnoreReadsEnd(const char* file, int line);
void AnnotateIgnoreWritesBegin(const char* file, int line);
void AnnotateIgnoreWritesEnd(const char* file, int line);
}

// Every Qt function defined here. Each must exist in Qt and be the one our code's calls reach.
// clang-format off
#define KELO_INTERPOSED(X) \
    X(_ZN6QMutex4lockEv) \
    X(_ZN6QMutex7tryLockEi) \
    X(_ZN6QMutex6unlockEv) \
    X(_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer) \
    X(_ZN14QWaitCondition4waitEP6QMutexm) \
    X(_ZN11QMetaObject8activateEP7QObjectPKS_iPPv) \
    X(_ZN11QMetaObject7connectEPK7QObjectiS2_iiPi) \
    X(_ZN7QObject11connectImplEPKS_PPvS1_S3_PN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPKiPK11QMetaObject) \
    X(_ZN7QObject7connectEPKS_PKcS1_S3_N2Qt14ConnectionTypeE) \
    X(_ZN7QObject7connectEPKS_RK11QMetaMethodS1_S4_N2Qt14ConnectionTypeE) \
    X(_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv) \
    X(_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22QGenericReturnArgument16QGenericArgumentS7_S7_S7_S7_S7_S7_S7_S7_S7_) \
    X(_ZN7QObject11deleteLaterEv) \
    X(_ZN7QObject5eventEP6QEvent) \
    X(_ZN7QThread5eventEP6QEvent) \
    X(_ZN7QObjectD1Ev) \
    X(_ZN7QObjectD2Ev) \
    X(_ZN7QThreadC1EP7QObject) \
    X(_ZN7QThreadC2EP7QObject) \
    X(_ZN7QThread16createThreadImplEOSt6futureIvE) \
    X(_ZN7QThread5startENS_8PriorityE) \
    X(_ZN7QThread4waitE14QDeadlineTimer) \
    X(_ZN7QThread4waitEm) \
    X(_ZNK7QThread9isRunningEv) \
    X(_ZNK7QThread10isFinishedEv) \
    X(_ZN7QThreadD1Ev) \
    X(_ZN7QThreadD2Ev)
// clang-format on

namespace {

[[noreturn]] void missing(const char* symbol, const char* what)
{
    std::fprintf(stderr,
                 "QtLocksSeenByTsan: %s %s; this Qt is not the one tests/common/QtLocksSeenByTsan.cpp was written "
                 "for, and ThreadSanitizer would not see what Qt orders\n",
                 symbol, what);
    std::fflush(stderr);
    std::_Exit(70);
}

// Qt's own definition of a function defined here.
void* qtOwn(const char* symbol)
{
    void* real = dlsym(RTLD_NEXT, symbol);
    if (!real)
        missing(symbol, "is not in Qt");
    return real;
}

template<typename F> F next(const char* symbol)
{
    return reinterpret_cast<F>(qtOwn(symbol));
}

#define KELO_NEXT(type, symbol) static const auto real = next<type>(#symbol)

bool checkInterposed()
{
    for (const char* symbol : {
#define KELO_NAME(symbol) #symbol,
             KELO_INTERPOSED(KELO_NAME)
#undef KELO_NAME
         }) {
        if (dlsym(RTLD_DEFAULT, symbol) == qtOwn(symbol))
            missing(symbol, "is not taken from the test program (is it exported?)");
    }
    return true;
}
const bool interposedChecked = checkInterposed();

// The bookkeeping below, and its lock, are ours, not the program's: ThreadSanitizer must neither
// check them nor take their lock for an order between the threads that pass through it.
class Unseen
{
public:
    Unseen()
    {
        AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
        AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
        AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
    }
    ~Unseen()
    {
        AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
        AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
        AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    }
    Unseen(const Unseen&) = delete;
    Unseen& operator=(const Unseen&) = delete;
};

// Where ThreadSanitizer keeps each order: inside the object's own memory, so it forgets them when
// the object is freed.
void* receiverKey(const QObject* receiver)
{
    return const_cast<QObject*>(receiver);
}
void* doneKey(const QObject* receiver)
{
    return reinterpret_cast<char*>(const_cast<QObject*>(receiver)) + 1;
}
void* threadEndKey(const QThread* thread)
{
    return reinterpret_cast<char*>(const_cast<QThread*>(thread)) + 2;
}

// The connections our code (and QtTest's spies) made, by signal: sender and method index.
struct Link
{
    QMetaObject::Connection connection;
    const QObject* receiver;
    Qt::ConnectionType type;
    bool spy;
};
using Signal = std::pair<const QObject*, int>;

std::mutex linksLock;
std::map<Signal, std::vector<Link>>& links()
{
    static std::map<Signal, std::vector<Link>> all;
    return all;
}

// The queued calls that threads are handing to each receiver right now. Qt copies a queued call's
// arguments inside the emission, after the release before it; a receiver that gets the call
// before the emitter's release after it waits here a little, so that the copies are ordered as
// Qt's event-queue lock orders them. Calls a thread hands to itself are not waited for: they can
// only come in a nested event loop of that same thread.
std::multiset<std::pair<const QObject*, QThread*>>& inFlight()
{
    static std::multiset<std::pair<const QObject*, QThread*>> all;
    return all;
}

void noteLink(const QMetaObject::Connection& connection, const QObject* sender, int method, const QObject* receiver,
              int type)
{
    if (!connection || !sender || method < 0)
        return;
    const bool spy = dynamic_cast<const QSignalSpy*>(receiver);
    Unseen unseen;
    std::lock_guard<std::mutex> lock(linksLock);
    links()[{sender, method}].push_back(
        {connection, receiver, static_cast<Qt::ConnectionType>(type & ~Qt::UniqueConnection), spy});
}

// What an emission orders: the receivers its queued connections post to, the receivers whose
// blocking connections it waits for, and a spy fed from the wrong thread.
struct Reach
{
    std::vector<const QObject*> queued;
    std::vector<const QObject*> blocking;
    const QObject* strayedSpy = nullptr;
};

Reach reachOf(const QObject* sender, int method)
{
    Reach reach;
    std::vector<QMetaObject::Connection> gone; // let go outside the lock and the ignored part
    {
        Unseen unseen;
        std::lock_guard<std::mutex> lock(linksLock);
        const auto it = links().find({sender, method});
        if (it == links().end())
            return reach;
        std::vector<Link>& all = it->second;
        for (auto link = all.begin(); link != all.end();) {
            if (!link->connection) {
                gone.push_back(link->connection);
                link = all.erase(link);
                continue;
            }
            // An automatic connection to a receiver on the emitting thread is a direct call: its
            // release is acquired on that same thread only, so it orders nothing.
            // A blocking one is waited for by the emitter itself: its arguments are not copied.
            if (link->type == Qt::BlockingQueuedConnection)
                reach.blocking.push_back(link->receiver);
            else if (link->type != Qt::DirectConnection)
                reach.queued.push_back(link->receiver);
            if (link->spy && link->receiver->thread() != QThread::currentThread())
                reach.strayedSpy = link->receiver;
            ++link;
        }
        if (all.empty())
            links().erase(it);
    }
    return reach;
}

// A queued call or emission on its way to its receivers: the caller's past is released on each
// before Qt queues it and again once Qt has copied its arguments and queued it.
class Handing
{
public:
    explicit Handing(std::vector<const QObject*> receivers)
        : m_receivers(std::move(receivers))
    {
        if (m_receivers.empty())
            return;
        {
            Unseen unseen;
            std::lock_guard<std::mutex> lock(linksLock);
            for (const QObject* receiver : m_receivers)
                inFlight().insert({receiver, QThread::currentThread()});
        }
        for (const QObject* receiver : m_receivers)
            __tsan_release(receiverKey(receiver));
    }
    ~Handing()
    {
        if (m_receivers.empty())
            return;
        for (const QObject* receiver : m_receivers)
            __tsan_release(receiverKey(receiver));
        Unseen unseen;
        std::lock_guard<std::mutex> lock(linksLock);
        for (const QObject* receiver : m_receivers)
            inFlight().erase(inFlight().find({receiver, QThread::currentThread()}));
    }
    Handing(const Handing&) = delete;
    Handing& operator=(const Handing&) = delete;

private:
    std::vector<const QObject*> m_receivers;
};

bool handedFromElsewhere(const QObject* receiver)
{
    Unseen unseen;
    std::lock_guard<std::mutex> lock(linksLock);
    for (auto it = inFlight().lower_bound({receiver, nullptr}); it != inFlight().end() && it->first == receiver; ++it) {
        if (it->second != QThread::currentThread())
            return true;
    }
    return false;
}

// Waits, for a moment at most, until no other thread is still handing `receiver` a call.
void awaitHanding(const QObject* receiver)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (handedFromElsewhere(receiver) && std::chrono::steady_clock::now() < until)
        QThread::yieldCurrentThread();
}

int methodIndexOf(const QMetaObject* meta, void** signal)
{
    for (; meta; meta = meta->superClass()) {
        int local = -1;
        void* args[] = {&local, signal};
        meta->static_metacall(QMetaObject::IndexOfMethod, 0, args);
        if (local >= 0)
            return meta->methodOffset() + local;
    }
    return -1;
}

int methodIndexOf(const QObject* sender, const char* signal)
{
    if (!sender || !signal || signal[0] - '0' != QSIGNAL_CODE)
        return -1;
    return sender->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(signal + 1).constData());
}

// A QThread's end: Qt wakes QThread::wait() through its own lock after the thread has emitted
// finished(), handled its deferred deletes and deleted its QThreadStorage values. A value here,
// set from finished(), releases when it is deleted; wait() acquires once it returns true. So what
// the thread did comes before what its waiter does next, typically deleting what the thread used.
struct ThreadEnd
{
    explicit ThreadEnd(const QThread* t)
        : thread(t)
    {}
    ~ThreadEnd() { __tsan_release(threadEndKey(thread)); }
    const QThread* thread;
};

QThreadStorage<ThreadEnd*>& threadEnds()
{
    static QThreadStorage<ThreadEnd*> ends;
    return ends;
}

std::set<const QThread*>& watchedThreads()
{
    static std::set<const QThread*> watched;
    return watched;
}

int finishedIndex()
{
    static const int index = QMetaMethod::fromSignal(&QThread::finished).methodIndex();
    return index;
}

// Connected once per QThread, before anything else can connect to its finished(): Qt emits
// finished() inside Qt, so what the thread did is released here to the receivers its queued
// connections reach (a deleteLater, say) before Qt queues their calls.
void watchThread(QThread* thread)
{
    {
        Unseen unseen;
        std::lock_guard<std::mutex> lock(linksLock);
        if (!watchedThreads().insert(thread).second)
            return;
    }
    QObject::connect(thread, &QThread::finished, [thread] {
        QThreadStorage<ThreadEnd*>& ends = threadEnds();
        if (!ends.hasLocalData())
            ends.setLocalData(new ThreadEnd(thread));
        // finished() has no arguments to copy: one release before Qt queues is enough.
        for (const QObject* receiver : reachOf(thread, finishedIndex()).queued)
            __tsan_release(receiverKey(receiver));
    });
    QObject::connect(thread, &QObject::destroyed, [thread] {
        Unseen unseen;
        std::lock_guard<std::mutex> lock(linksLock);
        watchedThreads().erase(thread);
    });
}

// The delivery of a queued call or a deferred delete to a receiver, on the receiver's thread.
// Every event Qt delivers passes here first, also to a plain QObject whose event() is Qt's own.
bool eventDelivered(void** data)
{
    const QObject* receiver = static_cast<QObject*>(data[0]);
    const QEvent* event = static_cast<QEvent*>(data[1]);
    if (!receiver || !event)
        return false;
    QEvent::Type type;
    {
        // Qt's event, handed over under Qt's lock; reading its type is no access of the program's.
        Unseen unseen;
        type = event->type();
    }
    if (type == QEvent::MetaCall)
        awaitHanding(receiver);
    if (type == QEvent::MetaCall || type == QEvent::DeferredDelete)
        __tsan_acquire(receiverKey(receiver));
    return false;
}
const bool eventHook = QInternal::registerCallback(QInternal::EventNotifyCallback, eventDelivered);

// The end of a queued call's slot on the receiver's thread, which a blocking caller waits for.
bool handled(QObject* object, QEvent* event, bool (*real)(QObject*, QEvent*))
{
    bool metaCall;
    {
        Unseen unseen;
        metaCall = event->type() == QEvent::MetaCall;
    }
    const bool done = real(object, event);
    if (metaCall)
        __tsan_release(doneKey(object));
    return done;
}

// A call handed to `object` by invokeMethod, unless it runs here and now.
std::vector<const QObject*> handedBy(const QObject* object, Qt::ConnectionType type)
{
    if (!object || type == Qt::DirectConnection)
        return {};
    if (type == Qt::BlockingQueuedConnection) {
        __tsan_release(receiverKey(object));
        return {};
    }
    return {object};
}

void afterCall(const QObject* object, Qt::ConnectionType type)
{
    if (object && type == Qt::BlockingQueuedConnection)
        __tsan_acquire(doneKey(object));
}

// A connection's slot object (a functor or member function of ours) is made by the connecting
// thread, called by the emitting ones and deleted by whichever thread lets go of it last, all
// ordered by Qt's reference count on it, which ThreadSanitizer does not see. Wrapped in this one,
// its making comes before each call, and each call before its deletion.
class SeenSlot : public QtPrivate::QSlotObjectBase
{
public:
    explicit SeenSlot(QtPrivate::QSlotObjectBase* slot)
        : QSlotObjectBase(&impl)
        , m_slot(slot)
    {
        __tsan_release(madeKey());
    }

private:
    void* madeKey() { return this; }
    void* calledKey() { return reinterpret_cast<char*>(this) + 1; }

    static void impl(int which, QSlotObjectBase* base, QObject* receiver, void** args, bool* ret)
    {
        SeenSlot* self = static_cast<SeenSlot*>(base);
        switch (which) {
        case Destroy:
            __tsan_acquire(self->madeKey());
            __tsan_acquire(self->calledKey());
            self->m_slot->destroyIfLastRef();
            delete self;
            break;
        case Call:
            __tsan_acquire(self->madeKey());
            self->m_slot->call(receiver, args);
            __tsan_release(self->calledKey());
            break;
        case Compare:
            *ret = self->m_slot->compare(args);
            break;
        }
    }

    QtPrivate::QSlotObjectBase* m_slot;
};

// Qt's lock around a QThread's state orders its end before what the thread's owner learns of it:
// wait() returning true, isFinished(), isRunning() turned false, the QThread's destruction.
void threadEndSeen(const QThread* thread)
{
    __tsan_acquire(threadEndKey(thread));
}

// A receiver's destruction removes the calls still queued for it, under Qt's event-queue lock.
void receiverGoes(const QObject* object)
{
    awaitHanding(object);
    __tsan_acquire(receiverKey(object));
}

} // namespace

// Qt's own functions that our code calls, defined here; each goes on to Qt's.

QMetaObject::Connection QMetaObject::connect(const QObject* sender, int signal, const QObject* receiver, int method,
                                             int type, int* types)
{
    using Real = Connection (*)(const QObject*, int, const QObject*, int, int, int*);
    KELO_NEXT(Real, _ZN11QMetaObject7connectEPK7QObjectiS2_iiPi);
    Connection c = real(sender, signal, receiver, method, type, types);
    noteLink(c, sender, signal, receiver, type);
    return c;
}

QMetaObject::Connection QObject::connectImpl(const QObject* sender, void** signal, const QObject* receiver, void** slot,
                                             QtPrivate::QSlotObjectBase* slotObject, Qt::ConnectionType type,
                                             const int* types, const QMetaObject* senderMetaObject)
{
    using Real =
        QMetaObject::Connection (*)(const QObject*, void**, const QObject*, void**, QtPrivate::QSlotObjectBase*,
                                    Qt::ConnectionType, const int*, const QMetaObject*);
    KELO_NEXT(
        Real,
        _ZN7QObject11connectImplEPKS_PPvS1_S3_PN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPKiPK11QMetaObject);
    if (slotObject)
        slotObject = new SeenSlot(slotObject);
    QMetaObject::Connection c = real(sender, signal, receiver, slot, slotObject, type, types, senderMetaObject);
    if (c)
        noteLink(c, sender, methodIndexOf(senderMetaObject, signal), receiver, type);
    return c;
}

QMetaObject::Connection QObject::connect(const QObject* sender, const char* signal, const QObject* receiver,
                                         const char* method, Qt::ConnectionType type)
{
    using Real =
        QMetaObject::Connection (*)(const QObject*, const char*, const QObject*, const char*, Qt::ConnectionType);
    KELO_NEXT(Real, _ZN7QObject7connectEPKS_PKcS1_S3_N2Qt14ConnectionTypeE);
    QMetaObject::Connection c = real(sender, signal, receiver, method, type);
    if (c)
        noteLink(c, sender, methodIndexOf(sender, signal), receiver, type);
    return c;
}

QMetaObject::Connection QObject::connect(const QObject* sender, const QMetaMethod& signal, const QObject* receiver,
                                         const QMetaMethod& method, Qt::ConnectionType type)
{
    using Real = QMetaObject::Connection (*)(const QObject*, const QMetaMethod&, const QObject*, const QMetaMethod&,
                                             Qt::ConnectionType);
    KELO_NEXT(Real, _ZN7QObject7connectEPKS_RK11QMetaMethodS1_S4_N2Qt14ConnectionTypeE);
    QMetaObject::Connection c = real(sender, signal, receiver, method, type);
    noteLink(c, sender, signal.methodIndex(), receiver, type);
    return c;
}

bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot, Qt::ConnectionType type,
                                   void* ret)
{
    using Real = bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*);
    KELO_NEXT(Real, _ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv);
    bool done;
    {
        Handing handing(handedBy(object, type));
        done = real(object, slot, type, ret);
    }
    afterCall(object, type);
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
    KELO_NEXT(
        Real,
        _ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22QGenericReturnArgument16QGenericArgumentS7_S7_S7_S7_S7_S7_S7_S7_S7_);
    bool done;
    {
        Handing handing(handedBy(object, type));
        done = real(object, member, type, ret, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
    }
    afterCall(object, type);
    return done;
}

extern "C" {

void _ZN6QMutex4lockEv(QMutex* mutex)
{
    KELO_NEXT(void (*)(QMutex*), _ZN6QMutex4lockEv);
    real(mutex);
    __tsan_acquire(mutex);
}

bool _ZN6QMutex7tryLockEi(QMutex* mutex, int timeout)
{
    KELO_NEXT(bool (*)(QMutex*, int), _ZN6QMutex7tryLockEi);
    const bool locked = real(mutex, timeout);
    if (locked)
        __tsan_acquire(mutex);
    return locked;
}

void _ZN6QMutex6unlockEv(QMutex* mutex)
{
    KELO_NEXT(void (*)(QMutex*), _ZN6QMutex6unlockEv);
    __tsan_release(mutex);
    real(mutex);
}

bool _ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer(void* condition, QMutex* mutex, QDeadlineTimer deadline)
{
    KELO_NEXT(bool (*)(void*, QMutex*, QDeadlineTimer), _ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer);
    __tsan_release(mutex);
    const bool woken = real(condition, mutex, deadline);
    __tsan_acquire(mutex);
    return woken;
}

bool _ZN14QWaitCondition4waitEP6QMutexm(void* condition, QMutex* mutex, unsigned long ms)
{
    KELO_NEXT(bool (*)(void*, QMutex*, unsigned long), _ZN14QWaitCondition4waitEP6QMutexm);
    __tsan_release(mutex);
    const bool woken = real(condition, mutex, ms);
    __tsan_acquire(mutex);
    return woken;
}

// An emission from our code releases on each receiver its queued connections post to (see
// Handing), and a blocking one acquires what its receivers' threads did up to the slot's end.
void _ZN11QMetaObject8activateEP7QObjectPKS_iPPv(QObject* sender, const QMetaObject* meta, int localSignal, void** args)
{
    KELO_NEXT(void (*)(QObject*, const QMetaObject*, int, void**), _ZN11QMetaObject8activateEP7QObjectPKS_iPPv);
    const int method = meta->methodOffset() + localSignal;
    const Reach reach = reachOf(sender, method);
    if (reach.strayedSpy)
        qFatal("QSignalSpy on %s::%s is fed from another thread: use QueuedSignalSpy", meta->className(),
               meta->method(method).methodSignature().constData());
    for (const QObject* receiver : reach.blocking)
        __tsan_release(receiverKey(receiver));
    {
        Handing handing(reach.queued);
        real(sender, meta, localSignal, args);
    }
    for (const QObject* receiver : reach.blocking)
        __tsan_acquire(doneKey(receiver));
}

void _ZN7QObject11deleteLaterEv(QObject* object)
{
    KELO_NEXT(void (*)(QObject*), _ZN7QObject11deleteLaterEv);
    __tsan_release(receiverKey(object));
    real(object);
}

bool _ZN7QObject5eventEP6QEvent(QObject* object, QEvent* event)
{
    KELO_NEXT(bool (*)(QObject*, QEvent*), _ZN7QObject5eventEP6QEvent);
    return handled(object, event, real);
}

bool _ZN7QThread5eventEP6QEvent(QObject* thread, QEvent* event)
{
    KELO_NEXT(bool (*)(QObject*, QEvent*), _ZN7QThread5eventEP6QEvent);
    return handled(thread, event, real);
}

void _ZN7QObjectD1Ev(QObject* object)
{
    KELO_NEXT(void (*)(QObject*), _ZN7QObjectD1Ev);
    receiverGoes(object);
    real(object);
}

void _ZN7QObjectD2Ev(QObject* object)
{
    KELO_NEXT(void (*)(QObject*), _ZN7QObjectD2Ev);
    receiverGoes(object);
    real(object);
}

// Every QThread is watched from its making, before anyone connects to its finished().
void _ZN7QThreadC1EP7QObject(QThread* thread, QObject* parent)
{
    KELO_NEXT(void (*)(QThread*, QObject*), _ZN7QThreadC1EP7QObject);
    real(thread, parent);
    watchThread(thread);
}

void _ZN7QThreadC2EP7QObject(QThread* thread, QObject* parent)
{
    KELO_NEXT(void (*)(QThread*, QObject*), _ZN7QThreadC2EP7QObject);
    real(thread, parent);
    watchThread(thread);
}

// QThread::create makes its thread inside Qt.
QThread* _ZN7QThread16createThreadImplEOSt6futureIvE(void* future)
{
    KELO_NEXT(QThread * (*)(void*), _ZN7QThread16createThreadImplEOSt6futureIvE);
    QThread* thread = real(future);
    if (thread)
        watchThread(thread);
    return thread;
}

bool _ZNK7QThread9isRunningEv(const QThread* thread)
{
    KELO_NEXT(bool (*)(const QThread*), _ZNK7QThread9isRunningEv);
    const bool running = real(thread);
    if (!running)
        threadEndSeen(thread);
    return running;
}

bool _ZNK7QThread10isFinishedEv(const QThread* thread)
{
    KELO_NEXT(bool (*)(const QThread*), _ZNK7QThread10isFinishedEv);
    const bool finished = real(thread);
    if (finished)
        threadEndSeen(thread);
    return finished;
}

void _ZN7QThreadD1Ev(QThread* thread)
{
    KELO_NEXT(void (*)(QThread*), _ZN7QThreadD1Ev);
    threadEndSeen(thread);
    receiverGoes(thread);
    real(thread);
}

void _ZN7QThreadD2Ev(QThread* thread)
{
    KELO_NEXT(void (*)(QThread*), _ZN7QThreadD2Ev);
    threadEndSeen(thread);
    receiverGoes(thread);
    real(thread);
}

// A thread our code made some other way is watched from its start.
void _ZN7QThread5startENS_8PriorityE(QThread* thread, int priority)
{
    KELO_NEXT(void (*)(QThread*, int), _ZN7QThread5startENS_8PriorityE);
    watchThread(thread);
    real(thread, priority);
}

bool _ZN7QThread4waitE14QDeadlineTimer(QThread* thread, QDeadlineTimer deadline)
{
    KELO_NEXT(bool (*)(QThread*, QDeadlineTimer), _ZN7QThread4waitE14QDeadlineTimer);
    const bool ended = real(thread, deadline);
    if (ended)
        threadEndSeen(thread);
    return ended;
}

bool _ZN7QThread4waitEm(QThread* thread, unsigned long ms)
{
    KELO_NEXT(bool (*)(QThread*, unsigned long), _ZN7QThread4waitEm);
    const bool ended = real(thread, ms);
    if (ended)
        threadEndSeen(thread);
    return ended;
}

} // extern "C"
