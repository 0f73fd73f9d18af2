#pragma once

// Helpers shared by the user-interface tests (header only; not a test of its own).

#include <TestAppDir.h>

#include <ConfigSetting.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QTranslator>
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

// The start of a picture's file name: the platform, and on a real display its screen size, so
// the pictures of each screen the suite shoots on are kept apart.
inline QString screenshotPrefix()
{
    QString prefix = QGuiApplication::platformName() + QLatin1Char('-');
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QSize s = QGuiApplication::primaryScreen()->size();
        prefix += QStringLiteral("%1x%2-").arg(s.width()).arg(s.height());
    }
    return prefix;
}

// The language of the pictures: KELO_SCREENSHOT_LANGUAGE=english shows the English translations,
// as Language=english does for a user. The compiled file is staged where the main window loads it
// and installed at once for the windows a test builds on their own. Returns the prefix that keeps
// the pictures of each language apart: "" for Chinese, "english-" for English.
inline QString screenshotLanguage(const TestAppDir& app)
{
    if (qEnvironmentVariable("KELO_SCREENSHOT_LANGUAGE").toLower() != QLatin1String("english"))
        return QString();
    const QString qm = QStringLiteral(KELO_BIN_DIR "/translations/english_keloui.qm");
    QDir().mkpath(app.binDir() + QStringLiteral("/translations"));
    QFile::copy(qm, app.binDir() + QStringLiteral("/translations/english_keloui.qm"));
    ConfigSetting::instance()->isEnglish = true;
    auto* translator = new QTranslator(qApp);
    if (!translator->load(qm))
        qFatal("cannot load %s", qPrintable(qm));
    QCoreApplication::installTranslator(translator);
    return QStringLiteral("english-");
}

// The texts under `root` that are cut off: visible labels, buttons, check boxes, radio buttons
// and group-box titles narrower than their text needs, and word-wrapped labels lower than their
// wrapped text.
inline QStringList clippedTexts(QWidget* root)
{
    QStringList out;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisible() || w->width() <= 0)
            continue;
        QString text;
        int need = 0;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text();
            if (text.isEmpty())
                continue;
            if (label->wordWrap()) {
                // A wrapped text is cut off at the bottom instead. The label's hint counts a few
                // pixels of margin the text does not need; half a line lost is a line lost.
                const int high = label->heightForWidth(label->width());
                if (high - label->height() > label->fontMetrics().lineSpacing() / 2)
                    out << QStringLiteral("%1 %2 \"%3\": needs %4 px high, has %5")
                               .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text)
                               .arg(high)
                               .arg(label->height());
                continue;
            }
            need = label->minimumSizeHint().width();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            if (text.isEmpty())
                continue;
            if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
                need = button->sizeHint().width();
            } else {
                // Push and tool buttons: the text (and icon) with two pixels each side; the
                // style's own padding may be given up, the text may not.
                need = button->fontMetrics().horizontalAdvance(text) + 4;
                if (!button->icon().isNull())
                    need += button->iconSize().width() + 4;
            }
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            text = group->title();
            if (text.isEmpty())
                continue;
            need = group->fontMetrics().horizontalAdvance(text) + 16;
        } else {
            continue;
        }
        if (need > w->width())
            out << QStringLiteral("%1 %2 \"%3\": needs %4 px, has %5")
                       .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text)
                       .arg(need)
                       .arg(w->width());
    }
    return out;
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

#include <InstrumentSim.h>
#include <MessageDialog.h>
#include <QElapsedTimer>
#include <QSignalSpy>

namespace UiTest {

// Waits until the spy has seen `count` emissions.
inline bool waitCount(QSignalSpy& spy, int count, int timeout = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (spy.count() < count && clock.elapsed() < timeout)
        spy.wait(int(qMax<qint64>(1, timeout - clock.elapsed())));
    return spy.count() >= count;
}

// Waits for the simulator to receive a request of the type and command; returns it.
inline bool waitRequest(InstrumentSim& sim, quint8 type, quint8 cmd, InstrumentSim::Request* out = nullptr,
                        int timeout = 15000)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        for (const auto& r : sim.requests()) {
            if (r.type == type && r.cmd == cmd) {
                if (out)
                    *out = r;
                return true;
            }
        }
        if (clock.elapsed() >= timeout)
            return false;
        QSignalSpy spy(&sim, &InstrumentSim::requestReceived);
        spy.wait(int(qMax<qint64>(1, timeout - clock.elapsed())));
    }
}

// Records every message dialog request in place of showing it and answers with `answer`.
struct DialogRecorder
{
    QList<MessageDialog::Request> requests;
    int answer = 0;
    DialogRecorder()
    {
        MessageDialog::setResponder([this](const MessageDialog::Request& r) {
            requests << r;
            return answer;
        });
    }
    ~DialogRecorder() { MessageDialog::setResponder(nullptr); }
};

} // namespace UiTest
