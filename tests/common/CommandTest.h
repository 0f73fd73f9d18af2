#pragma once

#include <FramePeer.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

// The base of the command-builder tests: a ProtocolManager of each test's own, a FramePeer on
// loopback as the instrument, and the frame a request put on the wire. A derived test sets up
// the application folder in its initTestCase().
class CommandTest : public QObject
{
    Q_OBJECT

public:
    // The little-endian bytes of a u32, as the frame tables write them.
    static QByteArray u32(quint32 v);

protected slots:
    void init();
    void cleanup();

protected:
    // Opens the link to a new peer, runs `call` and takes the first frame of `type` the peer
    // receives into `m_sent`; false when the link or the frame did not come.
    bool requestSent(Msg_Type type, const std::function<void()>& call);

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<ProtocolManager> m_pm;
    std::unique_ptr<FramePeer> m_peer;
    FramePeer::Frame m_sent;
};
