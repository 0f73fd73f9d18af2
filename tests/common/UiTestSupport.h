#pragma once

// Helpers shared by the user-interface tests (header only; not a test of its own).

#include <TestAppDir.h>

#include <ConfigSetting.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include <utility>

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

// The interface's English translations, installed for as long as it lives.
class EnglishTranslations
{
public:
    EnglishTranslations()
    {
        if (!m_translator.load(QStringLiteral(KELO_BIN_DIR "/translations/english_keloui.qm")))
            qFatal("cannot load the English translations");
        QCoreApplication::installTranslator(&m_translator);
    }
    ~EnglishTranslations() { QCoreApplication::removeTranslator(&m_translator); }
    EnglishTranslations(const EnglishTranslations&) = delete;
    EnglishTranslations& operator=(const EnglishTranslations&) = delete;

private:
    QTranslator m_translator;
};

// The number of colours in a sample of every third pixel of every third row: a blank or
// half-drawn picture has very few.
inline int colourCount(const QImage& img)
{
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            colours.insert(img.pixel(x, y));
    return colours.size();
}
inline bool hasManyColours(const QImage& img)
{
    return colourCount(img) > 8;
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

// The visible texts under `root` (labels, buttons, group-box titles) still in Chinese.
inline QStringList chineseTexts(QWidget* root)
{
    static const QRegularExpression chinese(
        QStringLiteral("[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = qobject_cast<QAbstractButton*>(w);
        auto* group = qobject_cast<QGroupBox*>(w);
        const QString text = label ? label->text() : button ? button->text() : group ? group->title() : QString();
        if (w->isVisible() && text.contains(chinese))
            out << w->objectName() + QStringLiteral(" \"") + text + QLatin1Char('"');
    }
    return out;
}

// What keeps `window` from being whole on the available area of its screen, frame included, with
// a least size no larger than that area; empty when nothing does.
inline QString offScreen(const QWidget* window)
{
    const QRect area = window->screen()->availableGeometry();
    // The native window's frame: the widget keeps the first one it was told until it moves.
    const QRect f =
        window->geometry().marginsAdded(window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins());
    const QSize least = window->minimumSize() + f.size() - window->geometry().size();
    auto text = [](const QRect& r) {
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    QStringList out;
    if (!area.contains(f))
        out << QStringLiteral("frame %1 outside %2").arg(text(f), text(area));
    if (least.width() > area.width() || least.height() > area.height())
        out << QStringLiteral("least size with frame %1 larger than %2").arg(text(QRect(QPoint(), least)), text(area));
    return out.isEmpty() ? QString() : window->objectName() + QStringLiteral(": ") + out.join(QStringLiteral("; "));
}

// offScreen() of a shown window once the window manager has framed it (a window it frames, that
// is) and the window has settled; painted again where it has settled, so that a picture of the
// screen taken next shows it.
inline QString offScreenOnceFramed(QWidget* window)
{
    // A window shown again right after it was hidden still counts as exposed until the news of
    // the hide comes in; once the window system has answered all that was asked before, the
    // wait is for the window mapped again.
    QGuiApplication::sync();
    (void)QTest::qWaitFor([&] { return window->windowHandle()->isExposed(); }, 5000);
    const bool framed = !(window->windowFlags() & Qt::FramelessWindowHint)
                     && (window->windowType() == Qt::Window || window->windowType() == Qt::Dialog);
    // While the window manager builds its frame the window sits in a frame of its own size or
    // smaller: margins that are none or less than none are not the frame's yet.
    const auto wholeFrame = [&] {
        const QMargins m = window->windowHandle()->frameMargins();
        return !m.isNull() && m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0;
    };
    if (framed)
        (void)QTest::qWaitFor(wholeFrame, 3000);
    (void)QTest::qWaitFor([&] { return offScreen(window).isEmpty(); }, 1000);
    window->repaint();
    return offScreen(window);
}

// The pictures a screenshot test takes: where they go, in which language, and which texts
// they show cut off.
struct Screenshots
{
    QString out;             // the folder of the pictures
    QString language;        // file-name prefix of the pictures' language
    QStringList clipped;     // texts cut off in the pictures of the current test function
    QStringList misplaced;   // their windows not whole on a real screen
    QStringList chinese;     // texts still in Chinese in the pictures that must have none
    bool windowOnly = false; // on a real display, the window's frame instead of the whole screen

    // Chooses the language (before any window is built) and makes the folder.
    void setUp(const TestAppDir& app)
    {
        language = screenshotLanguage(app);
        out = QStringLiteral(QT_TESTCASE_BUILDDIR "/test-output");
        QDir().mkpath(out);
    }

    static bool realDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

    // Saves a picture of `w` under `name` and notes the texts it shows cut off. On a real display
    // the picture is taken from the screen, so that it shows what a user sees.
    QImage capture(QWidget* w, const QString& name)
    {
        QImage img;
        if (realDisplay()) {
            // Taken once the window manager has framed and placed the window.
            const QString off = offScreenOnceFramed(w->window());
            if (!off.isEmpty())
                misplaced << name + QStringLiteral(": ") + off;
            // The native window's frame: the widget's own keeps the first margins it was told,
            // which may be those of a frame still being built, as small as a pixel.
            const QRect g = windowOnly ? w->window()->windowHandle()->frameGeometry() : QRect(0, 0, -1, -1);
            img = QGuiApplication::primaryScreen()->grabWindow(0, g.x(), g.y(), g.width(), g.height()).toImage();
        } else {
            img = w->grab().toImage();
        }
        img.save(out + QLatin1Char('/') + screenshotPrefix() + language + name + QStringLiteral(".png"));
        for (const QString& c : clippedTexts(w))
            clipped << name + QStringLiteral(": ") + c;
        return img;
    }

    // capture(), for a window whose every text is translated: in English a text still in Chinese
    // fails the test as a cut-off one does.
    QImage captureTranslated(QWidget* w, const QString& name)
    {
        for (const QString& c : chineseTexts(w))
            chinese << name + QStringLiteral(": ") + c;
        return capture(w, name);
    }

    // A text cut off in an English picture is cut off for the user too: English runs longer
    // than the Chinese the layouts were drawn for. Fails the current test on any, and on any text
    // captureTranslated() found in Chinese; call it from cleanup().
    void verifyNothingClipped()
    {
        // Nor may the screen's edge cut off a window, in any language.
        const QStringList off = std::exchange(misplaced, {});
        const QStringList cut = std::exchange(clipped, {});
        const QStringList untranslated = std::exchange(chinese, {});
        QVERIFY2(off.isEmpty(), qPrintable(off.join(QLatin1Char('\n'))));
        if (language.isEmpty())
            return;
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));
    }
};

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

#include <DialogSeam.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <MessageDialog.h>
#include <ProtocolManager.h>

#include <QElapsedTimer>
#include <QPair>
#include <QSignalSpy>

#include <functional>
#include <memory>
#include <utility>

namespace UiTest {

// The child of `parent` with the object name; a missing one ends the test at once, since every
// step after it would only fail on a null pointer.
template<typename T> T* child(const QObject* parent, const QString& name)
{
    T* c = parent->findChild<T*>(name);
    if (!c)
        qFatal("no %s %s under %s", T::staticMetaObject.className(), qPrintable(name),
               qPrintable(parent->objectName()));
    return c;
}
template<typename T> T* child(const QObject& parent, const QString& name)
{
    return child<T>(&parent, name);
}

using LinkTest::waitCount;
using LinkTest::waitRequest;
using LinkTest::waitUntil;

// The requests the simulator received other than heartbeats.
inline int requestsBesideHeartbeats(const InstrumentSim& sim)
{
    int n = 0;
    for (const auto& r : sim.requests()) {
        const bool heartbeat = r.type == quint8(Msg_Type::System)
                            && (r.cmd == quint8(Msg_Cmd::HeartBeat) || r.cmd == quint8(Msg_Cmd::HeartBeatEx));
        if (!heartbeat)
            ++n;
    }
    return n;
}

// Waits until the PC and the simulator are quiet: `rounds` heartbeat round trips in a row pass
// without any other request reaching the simulator. Replies come in order, so by then every
// earlier reply has been handled, and a read still retrying or a page still asking would have
// sent again. Needs the link up.
inline bool waitQuiet(InstrumentSim& sim, int rounds = 2, int timeout = LinkTest::waitMs())
{
    QElapsedTimer clock;
    clock.start();
    QSignalSpy beat(ProtocolManager::instance(), &ProtocolManager::HeartBeatMsg);
    int seen = requestsBesideHeartbeats(sim);
    int calm = 0;
    while (calm < rounds && clock.elapsed() < timeout) {
        const int before = beat.count();
        if (!beat.wait(int(qMax<qint64>(1, timeout - clock.elapsed()))) && beat.count() == before)
            continue;
        const int now = requestsBesideHeartbeats(sim);
        calm = now == seen ? calm + 1 : 0;
        seen = now;
    }
    return calm >= rounds;
}

// A request by message type and command, as the main window's start-up is checked.
using Code = QPair<int, int>;

inline Code code(Msg_Type type, Msg_Cmd cmd)
{
    return Code(int(type), int(cmd));
}
inline const Code kHeartBeat = code(Msg_Type::System, Msg_Cmd::HeartBeat);
inline const Code kHeartBeatEx = code(Msg_Type::System, Msg_Cmd::HeartBeatEx);
inline const Code kDeviceInfo = code(Msg_Type::System, Msg_Cmd::DeviceInfo);
inline const Code kDeviceState = code(Msg_Type::System, Msg_Cmd::DeviceState);
inline const Code kDevConfig = code(Msg_Type::System, Msg_Cmd::DevConfig);
inline const Code kDeviceCheck = code(Msg_Type::System, Msg_Cmd::DeviceCheck);
inline const Code kRecordList = code(Msg_Type::RecordedManager, Msg_Cmd::RecordList);

// The requests of the start-up sequence the instrument saw (device information, configuration
// items, record list, state), each code once at its first place.
inline QList<Code> firstRequests(const InstrumentSim& sim)
{
    const QList<Code> sequence{kDeviceInfo, kDevConfig, kRecordList, kDeviceState};
    QList<Code> out;
    for (const auto& r : sim.requests()) {
        const Code c(r.type, r.cmd);
        if (sequence.contains(c) && !out.contains(c))
            out << c;
    }
    return out;
}

inline int countOf(const InstrumentSim& sim, Code code)
{
    int n = 0;
    for (const auto& r : sim.requests())
        n += Code(r.type, r.cmd) == code;
    return n;
}

// What a connected page is brought up with beyond the link, in the order the main window asks.
enum Fetch { LinkOnly = 0, DeviceInfo = 1, Settings = 2, State = 4, AsMainWindow = DeviceInfo | Settings | State };

// Connects to the simulator and fetches what `fetch` names, each step waiting for its reply.
inline bool connectTo(InstrumentSim& sim, int fetch = LinkOnly)
{
    ProtocolManager* pm = ProtocolManager::instance();
    QSignalSpy link(pm, &ProtocolManager::NetSuccess);
    pm->ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
    if (!waitCount(link, 1) || !link.last().at(0).toBool())
        return false;
    if (fetch & DeviceInfo) {
        QSignalSpy info(pm, &ProtocolManager::UpdateDeviceInfo);
        if (!pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device) || !waitCount(info, 1))
            return false;
    }
    if (fetch & Settings) {
        QSignalSpy settings(pm, &ProtocolManager::GetDeviceSettingsFinished);
        pm->GetDeviceConfigSettingData();
        if (!waitCount(settings, 1))
            return false;
    }
    if (fetch & State) {
        QSignalSpy state(pm, &ProtocolManager::UpdateDeviceState);
        if (!pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device) || !waitCount(state, 1))
            return false;
    }
    return true;
}

// Drops the link and keeps it down: the simulator closes the connection and refuses the next.
inline bool dropLink(InstrumentSim& sim)
{
    QSignalSpy link(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
    sim.setRefusing(true);
    sim.closeConnection();
    return waitCount(link, 1);
}

// Closes the link, waiting for its end when there was one.
inline void disconnect()
{
    ProtocolManager* pm = ProtocolManager::instance();
    if (pm->isConnected()) {
        QSignalSpy link(pm, &ProtocolManager::NetSuccess);
        pm->DisConnectTcp();
        waitCount(link, 1);
    } else {
        pm->DisConnectTcp();
    }
}

// A page built before the link comes up, so that it hears every reply of the bring-up; none
// when a step failed.
template<typename Page, typename... Args>
std::unique_ptr<Page> connectedPage(InstrumentSim& sim, int fetch, Args&&... args)
{
    auto page = std::make_unique<Page>(std::forward<Args>(args)...);
    if (!connectTo(sim, fetch))
        return nullptr;
    return page;
}

// Every test program that includes this file answers message boxes and file dialogs itself: one
// that no DialogRecorder of the test is there to take fails the test that raised it, with its
// text, and is answered as if cancelled, so a stray message cannot pass unseen. A test of the
// real dialogs shows them inside a RealDialogs scope.
class StrayDialogs
{
public:
    // Takes the dialogs again once a recorder is done with them.
    static void reinstall()
    {
        if (realScopes() > 0)
            DialogSeam::setResponder(nullptr);
        else
            DialogSeam::setResponder(&StrayDialogs::answer);
    }
    static int& realScopes()
    {
        static int scopes = 0;
        return scopes;
    }

private:
    static DialogSeam::Answer answer(const DialogSeam::Request& r)
    {
        report(r);
        if (r.isFileDialog())
            return QStringList();
        if (r.kind == DialogSeam::Request::Box)
            return r.escapeIndex;
        return r.kind == DialogSeam::Request::Show ? 0 : -1;
    }
    // The first stray of a test fails it; a flood of them would only repeat the news.
    static void report(const DialogSeam::Request& r)
    {
        static QString failed; // the test (and data row) already failed by a stray
        const QString what = QStringLiteral("a dialog the test did not expect: \"%1\" \"%2\"").arg(r.title, r.text);
        const char* function = QTest::currentTestFunction();
        if (!function) {
            qWarning("%s", qPrintable(what));
            return;
        }
        const QString test = QLatin1String(function) + QLatin1Char('/') + QLatin1String(QTest::currentDataTag());
        if (test == failed)
            return;
        failed = test;
        QTest::qFail(qPrintable(what), __FILE__, __LINE__);
    }
};
inline const bool strayDialogsCaught = (StrayDialogs::reinstall(), true);

// The window system's dialogs and MessageDialog's own windows show while one is alive.
struct RealDialogs
{
    RealDialogs()
    {
        ++StrayDialogs::realScopes();
        StrayDialogs::reinstall();
    }
    ~RealDialogs()
    {
        --StrayDialogs::realScopes();
        StrayDialogs::reinstall();
    }
    RealDialogs(const RealDialogs&) = delete;
    RealDialogs& operator=(const RealDialogs&) = delete;
};

// Records every message box and file dialog in place of showing it. A message is answered
// with the first of `answers` while there are any, then with `answer`; a file dialog with
// `paths` (none: cancelled). `respond`, when set, answers every one instead.
struct DialogRecorder
{
    using Request = DialogSeam::Request;
    QList<Request> requests;
    QList<int> answers;
    int answer = 0;
    QStringList paths;
    std::function<DialogSeam::Answer(const Request&)> respond;

    explicit DialogRecorder(int answerOnceQueueEmpty = 0)
        : answer(answerOnceQueueEmpty)
    {
        DialogSeam::setResponder([this](const Request& r) -> DialogSeam::Answer {
            requests << r;
            if (respond)
                return respond(r);
            if (r.isFileDialog())
                return paths;
            return answers.isEmpty() ? answer : answers.takeFirst();
        });
    }
    ~DialogRecorder() { StrayDialogs::reinstall(); }
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    // The requests of one kind, in order.
    QList<Request> of(Request::Kind kind) const
    {
        QList<Request> out;
        for (const Request& r : requests)
            if (r.kind == kind)
                out << r;
        return out;
    }
    // The texts of the messages, in order.
    QStringList texts() const
    {
        QStringList out;
        for (const Request& r : requests)
            out << r.text;
        return out;
    }
};

} // namespace UiTest
