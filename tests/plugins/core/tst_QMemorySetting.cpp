#include <QMemorySectionSetting.h>
#include <QMemorySetting.h>

#include <QtTest>

#include <functional>
#include <stdexcept>

Q_DECLARE_METATYPE(QMemorySetting::KEY_COLLISION_MODE)

class tst_QMemorySetting : public QObject
{
    Q_OBJECT

private slots:
    void textFormBytes()
    {
        QMemorySetting s(QMemorySetting::COLLISION_REPLACE);
        s.setSectionValue("Record", "Name", 5);
        s.setSectionValue("Record", "Remark", "a[1]");
        s.beginSection("LocalData");
        s.setValue("x", 1);
        s.removeKey("x");
        QVERIFY(s.existSection("LocalData")); // stays empty until endSection
        QCOMPARE(s.toByteArray(), QByteArray("\x5b\x4c\x6f\x63\x61\x6c\x44\x61\x74\x61\x5d\x0a\x0a"
                                             "\x5b\x52\x65\x63\x6f\x72\x64\x5d\x0a"
                                             "\x4e\x61\x6d\x65\x3d\x35\x0a"
                                             "\x52\x65\x6d\x61\x72\x6b\x3d\x61\x5c\x5b\x31\x5c\x5d\x0a\x0a"));
        s.endSection();
        QVERIFY(!s.existSection("LocalData"));

        QCOMPARE(QMemorySetting().toString(), QString());
    }

    void chineseBytes()
    {
        // 记录 = e8 ae b0 e5 bd 95, 备注 = e5 a4 87 e6 b3 a8, 测试 = e6 b5 8b e8 af 95
        const QByteArray bytes("[Record]\n"
                               "\xe8\xae\xb0\xe5\xbd\x95=\xe6\xb5\x8b\xe8\xaf\x95\n"
                               "\xe5\xa4\x87\xe6\xb3\xa8=\\[\xe6\xb5\x8b\\]\n\n");
        QMemorySetting s(bytes, QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(s.allKeys("Record"), QStringList({QStringLiteral("记录"), QStringLiteral("备注")}));
        QCOMPARE(s.getSectionValue("Record", QStringLiteral("记录")).toString(), QStringLiteral("测试"));
        QCOMPARE(s.getSectionValue("Record", QStringLiteral("备注")).toString(), QStringLiteral("[测]"));
        QCOMPARE(s.toByteArray(), bytes);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QMemorySetting::KEY_COLLISION_MODE>("mode");
        QTest::addColumn<QString>("expected");
        const auto R = QMemorySetting::COLLISION_REPLACE;

        QTest::newRow("key before first header dropped") << "a=1\n[S]\nb=2" << R << "[S]\nb=2\n\n";
        QTest::newRow("crlf and blanks around key and value") << "  [S] \r\n  k  =\t v 1 \r\n" << R << "[S]\nk=v 1\n\n";
        QTest::newRow("hash comment skipped") << "[S]\n#k=1\n  # x=2\nk=3" << R << "[S]\nk=3\n\n";
        QTest::newRow("semicolon line is a key") << "[S]\n;k=1" << R << "[S]\n;k=1\n\n";
        QTest::newRow("duplicate key replace") << "[S]\nk=1\nk=2" << R << "[S]\nk=2\n\n";
        QTest::newRow("duplicate key keep") << "[S]\nk=1\nk=2" << QMemorySetting::COLLISION_KEEP << "[S]\nk=1\n\n";
        QTest::newRow("duplicate key append")
            << "[S]\nk=1\nk=2\nk=3" << QMemorySetting::COLLISION_APPEND << "[S]\nk=1\\n2\\n3\n\n";
        QTest::newRow("unknown mode keeps first")
            << "[S]\nk=1\nk=2" << QMemorySetting::KEY_COLLISION_MODE(7) << "[S]\nk=1\n\n";
        QTest::newRow("repeated header continues section")
            << "[S]\na=1\n[T]\nx=0\n[S]\nb=2\na=3" << R << "[S]\na=3\nb=2\n\n[T]\nx=0\n\n";
        QTest::newRow("unescaped bracket word in value is a header")
            << "[S]\nk=a[w1]b\nm=2" << R << "[S]\n\n[w1]\nm=2\n\n";
        QTest::newRow("escaped brackets read as a key line") << "[S]\nk=a\\[w1\\]b" << R << "[S]\nk=a\\[w1\\]b\n\n";
        QTest::newRow("blank inside brackets without equals skipped") << "[S]\n[a b]\nk=1" << R << "[S]\nk=1\n\n";
        QTest::newRow("empty brackets with equals is a key") << "[S]\n[]=1\n[ x]=2" << R << "[S]\n[]=1\n[ x]=2\n\n";
        QTest::newRow("line without equals skipped") << "[S]\njunk\nk=1" << R << "[S]\nk=1\n\n";
        QTest::newRow("empty key kept") << "[S]\n=v" << R << "[S]\n=v\n\n";
        QTest::newRow("value keeps later equals") << "[S]\nk = a=b " << R << "[S]\nk=a=b\n\n";
        QTest::newRow("sections in name order")
            << "[Record]\na=1\n[Card10]\nb=1\n[LocalData]\n[Card2]\nc=1\n[Card1]\nd=1" << R
            << "[Card1]\nd=1\n\n[Card10]\nb=1\n\n[Card2]\nc=1\n\n[LocalData]\n\n[Record]\na=1\n\n";
        QTest::newRow("percent and hyphen in header, rest of line ignored")
            << "x [Freq%1-a] tail\nk=1" << R << "[Freq%1-a]\nk=1\n\n";
        QTest::newRow("first of two headers on a line") << "[A][B]\nk=1" << R << "[A]\nk=1\n\n";
        QTest::newRow("chinese section name is no header") << "[S]\n[记录]\n记录=值" << R << "[S]\n记录=值\n\n";
        QTest::newRow("ideographic space is not trimmed") << "[S]\nk=值\u3000" << R << "[S]\nk=值\u3000\n\n";
        QTest::newRow("escaped newline becomes a line feed") << "[S]\nk=a\\nb" << R << "[S]\nk=a\\nb\n\n";
        QTest::newRow("backslash kept") << "[S]\nk=c:\\dir" << R << "[S]\nk=c:\\dir\n\n";
        QTest::newRow("blank text") << " \r\n\t\n " << R << "";
        QTest::newRow("no header at all") << "a=1\nb=2" << R << "";
    }

    void parse()
    {
        QFETCH(QString, input);
        QFETCH(QMemorySetting::KEY_COLLISION_MODE, mode);
        QFETCH(QString, expected);
        QMemorySetting s(input, mode);
        QCOMPARE(s.toString(), expected);
    }

    void parseDetails()
    {
        QMemorySetting s(QStringLiteral("[S]\nk=a\\nb\\[x\\]"), QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(s.getSectionValue("S", "k").toString(), QStringLiteral("a\nb[x]"));
        QCOMPARE(s.getSectionValue("S", "k").type(), QVariant::String);

        QMemorySetting append(QStringLiteral("[S]\nk=1\nk=2"), QMemorySetting::COLLISION_APPEND);
        QCOMPARE(append.getSectionValue("S", "k").toString(), QStringLiteral("1\n2"));

        // Parsing replaces everything and leaves no current section.
        s.beginSection("Old");
        s.setValue("a", 1);
        s.parseBufferContent(QStringLiteral("[New]\nb=2"));
        QCOMPARE(s.allSections(), QStringList{"New"});
        s.setValue("c", 3);
        QVERIFY(!s.existSectionKey("New", "c"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "12345"
                               << "12345";
        QTest::newRow("brackets") << "a[b]c]"
                                  << "a[b]c]";
        QTest::newRow("bracketed word") << "[Record]"
                                        << "[Record]";
        QTest::newRow("line feeds") << "one\ntwo\n\nthree"
                                    << "one\ntwo\n\nthree";
        QTest::newRow("chinese") << "采集记录（一）"
                                 << "采集记录（一）";
        QTest::newRow("backslash n turns into line feed") << "a\\nb"
                                                          << "a\nb";
        QTest::newRow("blanks at the ends are trimmed") << "  x  "
                                                        << "x";
        QTest::newRow("empty") << ""
                               << "";
    }

    void roundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QString, readBack);
        QMemorySetting s;
        s.setSectionValue("Card0", "UploadNum", 3);
        s.setSectionValue(QStringLiteral("Record"), QStringLiteral("备注"), value);
        s.setSectionValue("Record", "Name", 7u);
        QMemorySetting r(s.toByteArray(), QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(r.allSections(), s.allSections());
        QCOMPARE(r.allKeys("Record"), s.allKeys("Record"));
        QCOMPARE(r.getSectionValue("Record", QStringLiteral("备注")).toString(), readBack);
        QCOMPARE(r.getSectionValue("Record", "Name").toUInt(), 7u);
        QCOMPARE(r.getSectionValue("Card0", "UploadNum").toString(), QStringLiteral("3"));
    }

    void keyWithBracketsDoesNotSurvive()
    {
        QMemorySetting s;
        s.setSectionValue("S", "k[x]", 1);
        QCOMPARE(s.toString(), QStringLiteral("[S]\nk[x]=1\n\n"));
        QMemorySetting r(s.toString(), QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(r.allSections(), QStringList({"S", "x"}));
        QVERIFY(r.allKeys("S").isEmpty());
    }

    void keyWithPercentWrittenAsIs()
    {
        QMemorySetting s;
        s.setSectionValue("S", "k%1", "v%2");
        QCOMPARE(s.toString(), QStringLiteral("[S]\nk%1=v%2\n\n"));
    }

    void byteForms()
    {
        const QByteArray withNul("[S]\nk=1\0\nj=2", 13);
        QMemorySetting a(withNul, QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(a.allKeys("S"), QStringList{"k"});

        QMemorySetting b(withNul.constData(), withNul.size(), QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(b.allKeys("S"), QStringList{"k"});

        QMemorySetting c("[S]\nk=1\nj=2", -1, QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(c.allKeys("S"), QStringList({"k", "j"}));

        QMemorySetting d("[S]\nk=1\nj=2", 7, QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(d.toString(), QStringLiteral("[S]\nk=1\n\n"));

        QMemorySetting e(nullptr, 5, QMemorySetting::COLLISION_REPLACE);
        QVERIFY(e.allSections().isEmpty());
    }

    void valuesStoredAsText()
    {
        QMemorySetting s;
        s.setSectionValue("S", "int", 0);
        s.setSectionValue("S", "bool", true);
        s.setSectionValue("S", "u64", Q_UINT64_C(18446744073709551615));
        s.setSectionValue("S", "neg", -12);
        QCOMPARE(s.toString(), QStringLiteral("[S]\nint=0\nbool=true\nu64=18446744073709551615\nneg=-12\n\n"));
        QCOMPARE(s.getSectionValue("S", "u64").toULongLong(), Q_UINT64_C(18446744073709551615));
        QCOMPARE(s.getSectionValue("S", "missing", 42).toInt(), 42);
        QCOMPARE(s.getSectionValue("Nope", "int", "d").toString(), QStringLiteral("d"));
        s.setSectionValue("S", "int", 9);
        QCOMPARE(s.allKeys("S").first(), QStringLiteral("int")); // replaced in place
        QCOMPARE(s.getSectionValue("S", "int").toInt(), 9);
    }

    void copyAndAssign()
    {
        QObject parent;
        QMemorySetting src(QMemorySetting::COLLISION_APPEND, &parent);
        src.parseBufferContent(QStringLiteral("[B]\nk=1\n[A]\nx=2\ny=3"));

        QMemorySetting copy(src);
        QVERIFY(!copy.parent());
        QCOMPARE(copy.keyCollisionMode(), QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(copy.toString(), src.toString());
        copy.parseBufferContent(QStringLiteral("[S]\nk=1\nk=2"));
        QCOMPARE(copy.getSectionValue("S", "k").toString(), QStringLiteral("2"));
        QCOMPARE(src.getSectionValue("A", "y").toString(), QStringLiteral("3"));

        QMemorySetting copy2(src);
        copy2.setSectionValue("A", "x", "changed");
        copy2.setSectionValue("C", "n", 1);
        QCOMPARE(src.getSectionValue("A", "x").toString(), QStringLiteral("2"));
        QVERIFY(!src.existSection("C"));

        QObject other;
        QMemorySetting target(QMemorySetting::COLLISION_KEEP, &other);
        target.setSectionValue("Z", "z", 1);
        target.beginSection("Z");
        target = src;
        QCOMPARE(target.parent(), &other);
        QCOMPARE(target.keyCollisionMode(), QMemorySetting::COLLISION_KEEP);
        QCOMPARE(target.toString(), src.toString());
        target.setValue("z", 5); // the current section went with the old content
        QVERIFY(!target.existSection("Z"));
        const QMemorySetting& alias = target;
        target = alias;
        QCOMPARE(target.toString(), src.toString());
    }

    void renameSection()
    {
        QMemorySetting s(QStringLiteral("[A]\na=1\n[C]\nc=3"), QMemorySetting::COLLISION_REPLACE);
        const QString before = s.toString();
        QVERIFY(!s.renameSection("A", "C"));
        QVERIFY(!s.renameSection("Missing", "X"));
        QCOMPARE(s.toString(), before);

        s.beginSection("A");
        QVERIFY(s.renameSection("A", "D"));
        QCOMPARE(s.toString(), QStringLiteral("[C]\nc=3\n\n[D]\na=1\n\n"));
        s.setValue("after", 1); // no current section any more
        QVERIFY(!s.existSectionKey("D", "after"));
        QVERIFY(s.renameSection("D", "B"));
        QCOMPARE(s.toString(), QStringLiteral("[B]\na=1\n\n[C]\nc=3\n\n"));
    }

    void renameKey_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("expected");
        QTest::newRow("new name keeps position") << "b"
                                                 << "x" << true << "[S]\na=1\nx=2\nc=3\n\n";
        QTest::newRow("onto existing merges into it") << "c"
                                                      << "a" << true << "[S]\na=3\nb=2\n\n";
        QTest::newRow("onto existing later key") << "a"
                                                 << "c" << true << "[S]\nb=2\nc=1\n\n";
        QTest::newRow("onto itself keeps the key") << "b"
                                                   << "b" << true << "[S]\na=1\nb=2\nc=3\n\n";
        QTest::newRow("missing key") << "z"
                                     << "y" << false << "[S]\na=1\nb=2\nc=3\n\n";
    }

    void renameKey()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, result);
        QFETCH(QString, expected);
        const QString text = QStringLiteral("[S]\na=1\nb=2\nc=3");

        QMemorySetting named(text, QMemorySetting::COLLISION_REPLACE);
        QCOMPARE(named.renameSectionKey("S", from, to), result);
        QCOMPARE(named.toString(), expected);

        QMemorySetting current(text, QMemorySetting::COLLISION_REPLACE);
        current.beginSection("S");
        QCOMPARE(current.renameKey(from, to), result);
        current.endSection();
        QCOMPARE(current.toString(), expected);
    }

    void renameKeyWithoutSection()
    {
        QMemorySetting s(QStringLiteral("[S]\na=1"), QMemorySetting::COLLISION_REPLACE);
        QVERIFY(!s.renameSectionKey("T", "a", "b"));
        QVERIFY(!s.renameKey("a", "b"));
        QVERIFY(!s.existSection("T"));
    }

    void removeSectionKeyAndSection()
    {
        QMemorySetting s(QStringLiteral("[A]\na=1\n[B]\nb=2\nb2=3\n[C]\nc=4"), QMemorySetting::COLLISION_REPLACE);
        QVERIFY(!s.removeSectionKey("B", "zz"));
        QVERIFY(!s.removeSectionKey("Q", "b"));
        QVERIFY(s.removeSectionKey("B", "b"));
        QVERIFY(s.existSection("B"));
        s.beginSection("B");
        QVERIFY(s.removeSectionKey("B", "b2"));
        QVERIFY(!s.existSection("B"));
        s.setValue("late", 1); // the current section was removed with it
        QCOMPARE(s.toString(), QStringLiteral("[A]\na=1\n\n[C]\nc=4\n\n"));

        s.beginSection("C");
        QVERIFY(s.removeSection("C"));
        QVERIFY(!s.removeSection("C"));
        QVERIFY(!s.existKey("c"));
        QCOMPARE(s.getValue("c", "gone").toString(), QStringLiteral("gone"));
        QCOMPARE(s.allSections(), QStringList{"A"});
    }

    void currentSection()
    {
        QMemorySetting s;
        s.setValue("k", 1); // nothing current
        QVERIFY(!s.removeKey("k"));
        QVERIFY(!s.existKey("k"));
        QVERIFY(s.allSections().isEmpty());

        s.beginSection("Empty");
        QVERIFY(s.existSection("Empty"));
        s.beginSection("Full");
        QVERIFY(!s.existSection("Empty"));
        s.setValue("k", 1);
        s.setValue("j", "two");
        s.setValue("k", 3);
        QVERIFY(s.existKey("k"));
        QCOMPARE(s.getValue("k").toInt(), 3);
        QCOMPARE(s.getValue("none", 8).toInt(), 8);
        QVERIFY(s.removeKey("k"));
        QVERIFY(s.removeKey("j"));
        QVERIFY(s.existSection("Full"));
        s.endSection();
        QVERIFY(s.allSections().isEmpty());

        s.setSectionValue("Keep", "a", 1);
        s.beginSection("Keep");
        s.endSection();
        s.endSection();
        QCOMPARE(s.allKeys("Keep"), QStringList{"a"});

        s.beginSection("Keep");
        s.clearAll();
        s.setValue("x", 1);
        QVERIFY(s.allSections().isEmpty());
    }

    void sectionHandle()
    {
        QMemorySetting s;
        s["Card0"]["UploadNum"] = 12;
        s["Card0"]["UploadSize"] = Q_UINT64_C(25165824);
        QCOMPARE(s["Card0"]["UploadNum"].toULongLong(), Q_UINT64_C(12));
        QCOMPARE(s.toString(), QStringLiteral("[Card0]\nUploadNum=12\nUploadSize=25165824\n\n"));

        // Reading a missing key or section leaves no trace.
        QCOMPARE(s["Card0"]["Missing"].toString(), QString());
        QCOMPARE(s["Card0"]["Missing"].type(), QVariant::String);
        QCOMPARE(s["Card9"]["UploadNum"].toUInt(), 0u);
        QCOMPARE(s.allSections(), QStringList{"Card0"});
        QCOMPARE(s.allKeys("Card0").size(), 2);

        const QMemorySetting& cs = s;
        QCOMPARE(cs["Card0"]["UploadNum"].toInt(), 12);
        QCOMPARE(cs["Nope"]["x"].toString(), QString());
        QVERIFY(!cs.existSection("Nope"));

        // One proxy assigned from another copies the value, not the other's key or target.
        s["Card1"]["DownloadNum"] = s["Card0"]["UploadNum"];
        QCOMPARE(s.getSectionValue("Card1", "DownloadNum").toString(), QStringLiteral("12"));
        QCOMPARE(s.getSectionValue("Card0", "UploadNum").toString(), QStringLiteral("12"));
        QVERIFY(!s.existSectionKey("Card1", "UploadNum"));

        QCOMPARE((s["Card0"]["UploadNum"] = 13).key(), QStringLiteral("UploadNum"));
        QCOMPARE(s["Card0"]["UploadNum"].toInt(), 13);
    }

    void handleOutlivesItsSection()
    {
        QMemorySetting s;
        {
            QMemorySectionSetting h = s["Card0"];
            QMemorySectionSetting h2(h);
            h["a"] = 1;
            QVERIFY(s.removeSection("Card0"));
            QCOMPARE(h2["a"].toString(), QString());
            h2["b"] = 2; // recreates the section rather than writing into freed memory
            QCOMPARE(s.allKeys("Card0"), QStringList{"b"});
            QVERIFY(s.renameSection("Card0", "Card1"));
            QCOMPARE(h["b"].toString(), QString());
        }
        QCOMPARE(s.allSections(), QStringList{"Card1"});

        // A detached copy of a proxy carries the value but never writes back.
        QMemorySetting::ValueProxy copy = s["Card1"]["b"];
        QCOMPARE(copy.toInt(), 2);
        copy = 5;
        QCOMPARE(copy.toInt(), 5);
        QCOMPARE(s.getSectionValue("Card1", "b").toInt(), 2);
        QVERIFY(!s.existSection("Card0"));

        QMemorySectionSetting h3 = s["Temp"];
        QVERIFY(s.existSection("Temp"));
        h3 = s["Card1"];
        QVERIFY(!s.existSection("Temp"));
        QCOMPARE(h3["b"].toInt(), 2);
    }

    void enumerate()
    {
        QMemorySetting s(QStringLiteral("[B]\nz=1\ny=2\n[A]\nq=3"), QMemorySetting::COLLISION_REPLACE);
        QStringList seen;
        s.enumerateSection([&](QString name) { seen << name; });
        QCOMPARE(seen, QStringList({"A", "B"}));
        seen.clear();
        s.enumerateSectionKey("B", [&](QString key) { seen << key; });
        QCOMPARE(seen, QStringList({"z", "y"}));
        seen.clear();
        s.enumerateSectionKey("None", [&](QString key) { seen << key; });
        QVERIFY(seen.isEmpty());
        // A callback that removes sections does not break the walk.
        s.enumerateSection([&](QString name) { s.removeSection(name); });
        QVERIFY(s.allSections().isEmpty());

        QMemorySetting empty;
        empty.enumerateSection(std::function<void(QString)>());
        bool threw = false;
        try {
            QMemorySetting one(QStringLiteral("[S]\nk=1"), QMemorySetting::COLLISION_REPLACE);
            one.enumerateSection(std::function<void(QString)>());
        } catch (const std::bad_function_call&) {
            threw = true;
        }
        QVERIFY(threw);
    }
};

QTEST_GUILESS_MAIN(tst_QMemorySetting)
#include "tst_QMemorySetting.moc"
