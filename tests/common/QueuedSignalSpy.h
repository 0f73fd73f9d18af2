#pragma once

#include <TestTime.h>

#include <QList>
#include <QMetaMethod>
#include <QObject>
#include <QTestEventLoop>
#include <QVariant>
#include <QVector>

// A signal spy for signals that threads other than the test's may emit: the channel threads
// of a transfer, the file worker, the receiver and spectrum threads, the NTP server, the FTP
// client's thread, and FileLogger::MessageLogged, which goes out on whichever thread logged.
//
// QSignalSpy cannot be used there. It connects with Qt::DirectConnection and appends each
// emission to its list on the emitting thread, with no lock, while the test reads the same
// list on its own thread. Two threads emitting at once lose entries or write into an array
// the other has just freed, and the heap is corrupted.
//
// This spy is connected the way a listener on the test's thread is: an emission on the test's
// thread is recorded at once, one on another thread is queued and recorded when the test's
// thread next handles events (in wait(), a QTRY_ macro or any other event loop). So the list is
// touched by the test's thread only. The API is QSignalSpy's.
class QueuedSignalSpy : public QObject, public QList<QList<QVariant>>
{
public:
    template<typename Func>
    QueuedSignalSpy(const typename QtPrivate::FunctionPointer<Func>::Object* sender, Func signal)
        : QueuedSignalSpy(sender, QMetaMethod::fromSignal(signal))
    {}
    QueuedSignalSpy(const QObject* sender, const QMetaMethod& signal);
    // The signal in SIGNAL() form.
    QueuedSignalSpy(const QObject* sender, const char* signal);

    bool isValid() const { return m_valid; }

    // Waits until a new emission is recorded or `timeout` ms pass (5 s at the test time scale
    // unless given); true if one was.
    bool wait(int timeout = TestTime::ms(5000));

    // Records at once what other threads have emitted so far: for a check that nothing was
    // emitted, or right after a call that waited for the emitting thread to end.
    void flush();

    int qt_metacall(QMetaObject::Call call, int methodId, void** a) override;

private:
    void record(void** a);

    QVector<int> m_types;
    QTestEventLoop m_loop;
    bool m_valid = false;
    bool m_waiting = false;
};
