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
    const char* text = QT_TRANSLATE_NOOP("FileLogger", "Core 插件加载成功");
    FileLogger::LogMessage(FileLogger::Info, text);
    qDebug().noquote() << QString::fromUtf8(text) + QLatin1Char('\n');
    return true;
}

void CorePlugin::extensionsInitialized() {}

} // namespace Core
} // namespace Ns
