#include <UiTestSupport.h>

#include <StyleSheetLoader.h>

#include <QComboBox>
#include <QLabel>
#include <QtTest>

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;
void collect(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (type == QtWarningMsg)
        g_warnings << msg;
    if (g_previous)
        g_previous(type, ctx, msg);
}
} // namespace

class tst_StyleSheetLoader : public QObject
{
    Q_OBJECT

private slots:
    void appliesTheThemeFromTheConfigFolder()
    {
        TestAppDir app;
        QDir().mkpath(app.configDir() + "/qss");
        QFile f(app.configDir() + "/qss/test.css");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("QLabel#x { color: red; } /* 中文注释 */");
        f.close();
        QWidget w;
        QVERIFY(StyleSheetLoader::apply(&w, "test.css"));
        QCOMPARE(w.styleSheet(), QStringLiteral("QLabel#x { color: red; } /* 中文注释 */"));
    }

    void missingFileKeepsThePreviousSheet()
    {
        TestAppDir app;
        QWidget w;
        w.setStyleSheet("QWidget { color: blue; }");
        QTest::ignoreMessage(QtDebugMsg, "未找到qss文件");
        QVERIFY(!StyleSheetLoader::apply(&w, "nothing.css"));
        QCOMPARE(w.styleSheet(), QStringLiteral("QWidget { color: blue; }"));
    }

    void zeroByteEndsTheSheet()
    {
        TestAppDir app;
        QDir().mkpath(app.configDir() + "/qss");
        QFile f(app.configDir() + "/qss/z.css");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("QWidget { color: red; }\0QWidget { color: blue; }", 48));
        f.close();
        QWidget w;
        QVERIFY(StyleSheetLoader::apply(&w, "z.css"));
        QCOMPARE(w.styleSheet(), QStringLiteral("QWidget { color: red; }"));
    }

    void everyThemeExistsAndParses_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* name : {"blue.css", "darkblue.css", "black.css", "flatblack.css", "darkblack.css",
                                 "psblack.css", "silvery.css", "flatwhite.css"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void everyThemeExistsAndParses()
    {
        QFETCH(QString, file);
        TestAppDir app;
        UiTest::stageThemes(app);
        QWidget w;
        auto* label = new QLabel("x", &w);
        label->setObjectName("label_main");
        // A band list switched off during a collection must look it.
        QComboBox* lists[2] = {new QComboBox(&w), new QComboBox(&w)};
        for (QComboBox* list : lists) {
            list->addItem("GPS L1");
            list->resize(120, 30);
        }
        lists[1]->setEnabled(false);
        QVERIFY(StyleSheetLoader::apply(&w, file));
        QVERIFY(w.styleSheet().contains("#widget_top"));
        g_warnings.clear();
        g_previous = qInstallMessageHandler(collect);
        w.ensurePolished();
        label->ensurePolished();
        w.grab();
        qInstallMessageHandler(g_previous);
        QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join('\n')));
        const QImage on = lists[0]->grab().toImage(), off = lists[1]->grab().toImage();
        QVERIFY(on.pixelColor(3, 15) != off.pixelColor(3, 15));
    }
};

QTEST_MAIN(tst_StyleSheetLoader)
#include "tst_StyleSheetLoader.moc"
