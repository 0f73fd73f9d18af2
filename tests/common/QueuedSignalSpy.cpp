#include "QueuedSignalSpy.h"

#include <QCoreApplication>

namespace {

QMetaMethod signalOf(const QObject* sender, const char* signal)
{
    if (!sender || !signal || signal[0] - '0' != QSIGNAL_CODE)
        return {};
    const QMetaObject* meta = sender->metaObject();
    return meta->method(meta->indexOfSignal(QMetaObject::normalizedSignature(signal + 1).constData()));
}

} // namespace

QueuedSignalSpy::QueuedSignalSpy(const QObject* sender, const QMetaMethod& signal)
{
    if (!sender || signal.methodType() != QMetaMethod::Signal) {
        qWarning("QueuedSignalSpy: no sender or not a signal");
        return;
    }
    for (int i = 0; i < signal.parameterCount(); ++i) {
        int type = signal.parameterType(i);
        if (type == QMetaType::UnknownType) {
            // Lets the sender's moc code register the types it knows how to.
            void* argv[] = {&type, &i};
            QMetaObject::metacall(const_cast<QObject*>(sender), QMetaObject::RegisterMethodArgumentMetaType,
                                  signal.methodIndex(), argv);
        }
        // A queued emission of an unregistered type would be dropped without a trace.
        if (type <= QMetaType::UnknownType) {
            qWarning("QueuedSignalSpy: register type %s of %s with qRegisterMetaType",
                     signal.parameterTypes().at(i).constData(), signal.methodSignature().constData());
            return;
        }
        m_types << type;
    }
    m_valid = QMetaObject::connect(sender, signal.methodIndex(), this, QObject::staticMetaObject.methodCount(),
                                   Qt::AutoConnection);
}

QueuedSignalSpy::QueuedSignalSpy(const QObject* sender, const char* signal)
    : QueuedSignalSpy(sender, signalOf(sender, signal))
{}

bool QueuedSignalSpy::wait(int timeout)
{
    Q_ASSERT(!m_waiting);
    const int before = count();
    m_waiting = true;
    m_loop.enterLoopMSecs(timeout);
    m_waiting = false;
    return count() > before;
}

void QueuedSignalSpy::flush()
{
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

int QueuedSignalSpy::qt_metacall(QMetaObject::Call call, int methodId, void** a)
{
    methodId = QObject::qt_metacall(call, methodId, a);
    if (methodId < 0)
        return methodId;
    if (call == QMetaObject::InvokeMetaMethod) {
        if (methodId == 0)
            record(a);
        --methodId;
    }
    return methodId;
}

void QueuedSignalSpy::record(void** a)
{
    QList<QVariant> args;
    args.reserve(m_types.size());
    for (int i = 0; i < m_types.size(); ++i) {
        if (m_types.at(i) == QMetaType::QVariant)
            args << *reinterpret_cast<const QVariant*>(a[i + 1]);
        else
            args << QVariant(m_types.at(i), a[i + 1]);
    }
    QList<QList<QVariant>>::append(args);
    if (m_waiting)
        m_loop.exitLoop();
}
