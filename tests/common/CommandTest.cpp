#include "CommandTest.h"

#include <LinkTest.h>

QByteArray CommandTest::u32(quint32 v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b += char((v >> (8 * i)) & 0xFF);
    return b;
}

void CommandTest::init()
{
    m_pm = std::make_unique<ProtocolManager>();
}

void CommandTest::cleanup()
{
    m_pm.reset();
    m_peer.reset();
}

bool CommandTest::requestSent(Msg_Type type, const std::function<void()>& call)
{
    if (!LinkTest::connectLink(*m_pm, m_peer))
        return false;
    call();
    return m_peer->next(type, m_sent);
}
