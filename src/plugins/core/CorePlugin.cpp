#include "CorePlugin.h"

#include "FileLogger.h"

#include <QDebug>

namespace Ns {
namespace Core {

bool CorePlugin::initialize(const QStringList& arguments, QString* errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)
    FileLogger::instance();
    const QString text = QStringLiteral("Core 插件加载成功");
    FileLogger::LogMessage(FileLogger::Info, text);
    qDebug().noquote() << text + QLatin1Char('\n');
    return true;
}

void CorePlugin::extensionsInitialized() {}

} // namespace Core
} // namespace Ns
