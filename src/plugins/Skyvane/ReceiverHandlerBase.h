#pragma once

#include "skyvane_global.h"

#include <QByteArray>
#include <QObject>

#include <atomic>

namespace Ns {
namespace Skyvane {

// Common base of the receiver parsers: the receiver manager feeds relayed bytes through
// ParseData and switches parsing on and off without knowing which parser it holds.
class SKYVANE_EXPORT ReceiverHandlerBase : public QObject
{
    Q_OBJECT
public:
    explicit ReceiverHandlerBase(QObject* parent = nullptr);
    ~ReceiverHandlerBase() override;

    void StartParse();
    // Parsing stops at the next pass of a running loop; the next ParseData call then drops
    // the bytes it holds.
    void StopParse();
    bool isParsing() const { return m_parse.load(); }

    virtual void ParseData(const QByteArray& data) = 0;

protected:
    // Written from the GUI thread, read by the loop in the relay thread.
    std::atomic<bool> m_parse{false};
};

} // namespace Skyvane
} // namespace Ns
