#include "ReceiverHandlerBase.h"

namespace Ns {
namespace Skyvane {

ReceiverHandlerBase::ReceiverHandlerBase(QObject* parent)
    : QObject(parent)
{
}

ReceiverHandlerBase::~ReceiverHandlerBase() = default;

void ReceiverHandlerBase::StartParse()
{
    m_parse.store(true);
}

void ReceiverHandlerBase::StopParse()
{
    m_parse.store(false);
}

} // namespace Skyvane
} // namespace Ns
