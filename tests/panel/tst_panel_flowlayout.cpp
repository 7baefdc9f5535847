// Placement of the flow area's tiles.

#include "FlowLayout.h"
#include "TPanel.h"

#include <QTest>

using Points = QList<QPoint>;

class TFlowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void Placement_data();
    void Placement();
    void ShowingAndHidingRelayout();
    void ResizeMovesTilesUp();
};

void TFlowLayoutTest::Placement_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("tiles");
    QTest::addColumn<QList<int>>("hidden");
    // Expected top-left corner of each tile; hidden tiles are left out.
    QTest::addColumn<Points>("expected");
    QTest::addColumn<int>("height");

    QTest::newRow("empty") << 1416 << 0 << QList<int>{} << Points{} << 6;
    QTest::newRow("first tile inside the padding")
        << 1416 << 1 << QList<int>{} << Points{{3, 3}} << 174;
    QTest::newRow("1416 holds 7 per row")
        << 1416 << 9 << QList<int>{} << Points{{3, 3},    {203, 3},  {403, 3}, {603, 3},  {803, 3},
                                               {1003, 3}, {1203, 3}, {3, 171}, {203, 171}}
        << 342;
    QTest::newRow("1406 holds 6: the 7th would end on the inner edge")
        << 1406 << 7 << QList<int>{}
        << Points{{3, 3}, {203, 3}, {403, 3}, {603, 3}, {803, 3}, {1003, 3}, {3, 171}} << 342;
    QTest::newRow("1407 holds 7 again")
        << 1407 << 8 << QList<int>{}
        << Points{{3, 3}, {203, 3}, {403, 3}, {603, 3}, {803, 3}, {1003, 3}, {1203, 3}, {3, 171}}
        << 342;
    QTest::newRow("hidden tile closes the gap")
        << 606 << 5 << QList<int>{1} << Points{{3, 3}, {203, 3}, {3, 171}, {203, 171}} << 342;
    QTest::newRow("hidden tiles take no row")
        << 606 << 4 << QList<int>{2, 3} << Points{{3, 3}, {203, 3}} << 174;
    QTest::newRow("all hidden") << 1416 << 3 << QList<int>{0, 1, 2} << Points{} << 6;
    QTest::newRow("narrower than a tile: one per row")
        << 150 << 3 << QList<int>{} << Points{{3, 3}, {3, 171}, {3, 339}} << 510;
}

void TFlowLayoutTest::Placement() {
    QFETCH(int, width);
    QFETCH(int, tiles);
    QFETCH(QList<int>, hidden);
    QFETCH(Points, expected);
    QFETCH(int, height);

    TPanel area;
    auto* flow = new TFlowLayout(&area);
    QList<QWidget*> children;
    for (int i = 0; i < tiles; ++i) {
        auto* tile = new TPanel(&area);
        tile->resize(200, 168);
        flow->addWidget(tile);
        children << tile;
    }
    for (int i : hidden)
        children[i]->hide();

    // Before the area is ever shown the height already follows the content.
    QCOMPARE(flow->heightForWidth(width), height);

    area.resize(width, flow->heightForWidth(width));
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    Points placed;
    for (int i = 0; i < tiles; ++i) {
        if (hidden.contains(i)) {
            QVERIFY(!children[i]->isVisible());
            continue;
        }
        QCOMPARE(children[i]->size(), QSize(200, 168));
        placed << children[i]->pos();
    }
    QCOMPARE(placed, expected);
}

void TFlowLayoutTest::ShowingAndHidingRelayout() {
    TPanel area;
    auto* flow = new TFlowLayout(&area);
    QList<QWidget*> children;
    for (int i = 0; i < 4; ++i) {
        auto* tile = new TPanel(&area);
        tile->resize(200, 168);
        flow->addWidget(tile);
        children << tile;
    }
    area.resize(606, 400);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QCOMPARE(children[2]->pos(), QPoint(3, 171));

    children[0]->hide();
    QTRY_COMPARE(children[1]->pos(), QPoint(3, 3));
    QCOMPARE(children[2]->pos(), QPoint(203, 3));
    QCOMPARE(children[3]->pos(), QPoint(3, 171));

    children[0]->show();
    QTRY_COMPARE(children[1]->pos(), QPoint(203, 3));
    QCOMPARE(children[2]->pos(), QPoint(3, 171));
}

void TFlowLayoutTest::ResizeMovesTilesUp() {
    TPanel area;
    auto* flow = new TFlowLayout(&area);
    QList<QWidget*> children;
    for (int i = 0; i < 3; ++i) {
        auto* tile = new TPanel(&area);
        tile->resize(200, 168);
        flow->addWidget(tile);
        children << tile;
    }
    area.resize(406, 400); // 2 * 200 = 400, not < 400: one per row
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QCOMPARE(children[1]->pos(), QPoint(3, 171));

    area.resize(407, 400);
    QTRY_COMPARE(children[1]->pos(), QPoint(203, 3));
    QCOMPARE(children[2]->pos(), QPoint(3, 171));

    // Switching wrapping off puts every tile in one row; on again re-wraps.
    flow->SetWrap(false);
    QCOMPARE(children[2]->pos(), QPoint(403, 3));
    flow->SetWrap(true);
    QCOMPARE(children[2]->pos(), QPoint(3, 171));
}

QTEST_MAIN(TFlowLayoutTest)
#include "tst_panel_flowlayout.moc"
