#include <UiTestSupport.h>

#include <UploadChoose.h>

#include <QListView>
#include <QStandardItemModel>
#include <QtTest>

class tst_UploadChoose : public QObject
{
    Q_OBJECT

    static QList<int> checks(const UploadChoose& w)
    {
        QList<int> out;
        for (int r = 0; r < w.model()->rowCount(); ++r)
            out << w.model()->data(w.model()->index(r, 0), Qt::CheckStateRole).toInt();
        return out;
    }

private slots:
    void checkMarksFollowTheSelection()
    {
        UploadChoose w;
        QCOMPARE(w.model()->rowCount(), 0);
        for (const char* name : {"通道1", "通道2", "通道3", "通道4"})
            w.model()->appendRow(new QStandardItem(QString::fromUtf8(name)));
        auto* view = UiTest::child<QListView>(w, "listView");
        QCOMPARE(view->selectionMode(), QAbstractItemView::MultiSelection);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto click = [view](int row) {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                              view->visualRect(view->model()->index(row, 0)).center());
        };
        click(1);
        click(3);
        QCOMPARE(checks(w), (QList<int>{0, 2, 0, 2}));
        click(1); // a second click toggles the row off
        QCOMPARE(checks(w), (QList<int>{0, 0, 0, 2}));
        // Several rows in one range all carry the mark, and lose it together.
        const QItemSelection block(w.model()->index(0, 0), w.model()->index(2, 0));
        view->selectionModel()->select(block, QItemSelectionModel::Select);
        QCOMPARE(checks(w), (QList<int>{2, 2, 2, 2}));
        view->selectionModel()->select(block, QItemSelectionModel::Deselect);
        QCOMPARE(checks(w), (QList<int>{0, 0, 0, 2}));
    }

    void recordIsKept()
    {
        UploadChoose w;
        QCOMPARE(w.record().Name, 0u);
        QVERIFY(w.record().Bands.isEmpty());
        Record r;
        r.Name = 1700000000;
        r.Bands = {1, 3};
        r.Remark = QStringLiteral("备注");
        w.SetRecord(r);
        QCOMPARE(w.record().Name, 1700000000u);
        QCOMPARE(w.record().Bands, (QList<int>{1, 3}));
        QCOMPARE(w.record().Remark, QStringLiteral("备注"));
    }
};

QTEST_MAIN(tst_UploadChoose)
#include "tst_UploadChoose.moc"
