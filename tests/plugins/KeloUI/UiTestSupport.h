#pragma once

// Helpers shared by the user-interface tests (header only; not a test of its own).

#include <TestAppDir.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

namespace UiTest {

// Copies the themes of the source tree into the test's own configuration folder.
inline void stageThemes(const TestAppDir& app)
{
    const QString from = QStringLiteral(KELO_SOURCE_DIR "/config/qss");
    const QString to = app.configDir() + QStringLiteral("/qss");
    QDir().mkpath(to);
    const QStringList files = QDir(from).entryList({QStringLiteral("*.css")}, QDir::Files);
    for (const QString& f : files)
        QFile::copy(from + QLatin1Char('/') + f, to + QLatin1Char('/') + f);
}

// The visible top-level windows with the given object name, oldest first.
inline QList<QWidget*> visibleWindows(const QString& objectName)
{
    QList<QWidget*> found;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->objectName() == objectName && w->isVisible())
            found << w;
    }
    return found;
}

} // namespace UiTest
