// The wait dialog: its layout and texts, and ShowWait centring it over the
// sender and painting both at once.

#include "TImage.h"
#include "UnitWait.h"

#include <QLabel>
#include <QtTest>

namespace {

class TPaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestAppWait : public QObject {
    Q_OBJECT
private slots:
    void layout() {
        TfrmWait form;
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("Aguarde"));
        QCOMPARE(form.size(), QSize(391, 90));
        QCOMPARE(form.minimumSize(), QSize(391, 90));
        QCOMPARE(form.maximumSize(), QSize(391, 90));
        QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(form.font().pixelSize(), 11);

        QCOMPARE(form.Image1->geometry(), QRect(0, 0, 85, 90));
        QCOMPARE(form.Image1->Picture().size(), QSize(261, 297));
        // Scaled to fit with its aspect ratio kept, centred: 79 x 90 at x = 3.
        QCOMPARE(form.Image1->PictureRect(), QRect(3, 0, 79, 90));

        QCOMPARE(form.Label1->geometry(), QRect(85, 0, 306, 90));
        QCOMPARE(form.Label1->text(), QStringLiteral("Por favor, aguarde ..."));
        QCOMPARE(form.Label1->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(form.Label1->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(form.Label1->font().pixelSize(), 16);
        QVERIFY(form.Label1->font().bold());

        // White background, black text on it.
        const QImage shot = form.grab().toImage();
        QCOMPARE(shot.pixelColor(388, 3), QColor(255, 255, 255));
        QCOMPARE(shot.pixelColor(84, 3), QColor(255, 255, 255));
        bool black = false;
        for (int x = 86; x < 391 && !black; ++x)
            for (int y = 30; y < 60 && !black; ++y)
                black = shot.pixelColor(x, y).lightness() < 60;
        QVERIFY(black);
    }

    void showWaitCentresAndPaints_data() {
        QTest::addColumn<QRect>("sender");
        QTest::newRow("main window size") << QRect(40, 30, 1416, 610);
        QTest::newRow("small, off to the right") << QRect(900, 500, 300, 200);
    }
    void showWaitCentresAndPaints() {
        QFETCH(QRect, sender);
        QWidget main;
        main.setGeometry(sender);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        TfrmWait form;
        TPaintCounter mainPaints, formPaints;
        main.installEventFilter(&mainPaints);
        form.installEventFilter(&formPaints);

        form.ShowWait(&main);
        // Painted before returning, without the message loop.
        QVERIFY(form.isVisible());
        QVERIFY(mainPaints.paints >= 1);
        QVERIFY(formPaints.paints >= 1);

        const QPoint delta = form.frameGeometry().center() - main.frameGeometry().center();
        QVERIFY2(qAbs(delta.x()) <= 1 && qAbs(delta.y()) <= 1,
                 qPrintable(QStringLiteral("off centre by %1,%2").arg(delta.x()).arg(delta.y())));
        QCOMPARE(form.size(), QSize(391, 90));
    }
};

QTEST_MAIN(TestAppWait)
#include "tst_panel_wait.moc"
