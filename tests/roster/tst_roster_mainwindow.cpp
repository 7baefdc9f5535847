// The main window around its monitor threads: the roster build at creation,
// the refresh, the filter boxes and the shutdown.

#include "BoxCloser.h"
#include "Components.h"
#include "ErrorBox.h"
#include "FakePing.h"
#include "ScaleFixtures.h"
#include "TImage.h"
#include "TPanel.h"
#include "TestSupport.h"
#include "ToolButton.h"
#include "UnitDMMain.h"
#include "UnitMain.h"
#include "UnitMonitorThread.h"
#include "UnitWait.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

using testsupport::TBoxCloser;

struct TScale {
    std::int64_t no;
    std::string ip;
    std::int64_t sect;
};

// Scales in use with their data up to date, in the two standard sectors.
std::vector<mdbw::TTable> Tables(const std::vector<TScale>& scales, bool withAddress = true) {
    std::vector<fixtures::TScaleRow> rows;
    for (const TScale& s : scales)
        rows.push_back({s.no, s.ip, s.sect});
    fixtures::TScaleLayout layout;
    layout.WithAddress = withAddress;
    return {fixtures::ScaleTable(rows, layout), fixtures::SectTable(fixtures::StandardSects())};
}

std::vector<TScale> Numbered(int count) {
    std::vector<TScale> scales;
    for (int i = 0; i < count; ++i)
        scales.push_back({i + 1,
                          "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1),
                          i % 2 + 1});
    return scales;
}

// Calls back for every event of one object.
class TEventRecorder : public QObject {
public:
    TEventRecorder(QObject* target, std::function<void(QEvent::Type)> record)
        : FRecord(std::move(record)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        FRecord(event->type());
        return false;
    }

private:
    std::function<void(QEvent::Type)> FRecord;
};

QString FieldText(QObject* tile, const QString& name) {
    return FindComponentAs<QLabel>(tile, name)->text();
}

} // namespace

class TestRoster : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FRoot;
    QString FDatabase;
    std::unique_ptr<testsupport::TFakePing> FPing;

    void WriteDatabase(const std::vector<mdbw::TTable>& tables) {
        QDir().mkpath(QFileInfo(FDatabase).path());
        mdbw::WriteMdb(FDatabase.toStdString(), tables);
    }
    // Every probe answers at once, or after `seconds` not at all.
    void SetPingDelay(const QString& seconds) {
        FPing->SetDefaultMode(seconds.isEmpty() ? QString() : QStringLiteral("hang ") + seconds);
    }
    std::unique_ptr<TfrmMain> Create() {
        auto form = std::make_unique<TfrmMain>();
        form->FormCreate();
        return form;
    }

private slots:
    void initTestCase() {
        QVERIFY(FRoot.isValid());
        FDatabase = testsupport::UseWinePrefix(FRoot.path());
        testsupport::UsePrivateRuntimeDir(FRoot.path());

        FPing = std::make_unique<testsupport::TFakePing>();
    }

    void init() { SetPingDelay({}); }

    // One tile and one running thread per roster row, in SC_No order, bound
    // to the controls of their own tile, all before the window is shown.
    void buildsOneTileAndThreadPerScale() {
        WriteDatabase(Tables({{30, "127.0.0.30", 1},
                              {4, "127.0.0.4", 2},
                              {7, "127.0.0.7", 9}, // no such sector: not in the roster
                              {12, "127.0.0.12", 1},
                              {12, "127.0.0.13", 2}}));
        TBoxCloser boxes;
        auto form = Create();
        QVERIFY(boxes.Texts.isEmpty());
        QVERIFY(!form->isVisible());
        QVERIFY(form->MonitorThreadList);
        const QList<TMonitorThread*>& threads = *form->MonitorThreadList;
        QCOMPARE(threads.size(), 4);
        QVERIFY(form->TimerUpdate->isActive());
        QCOMPARE(form->TimerUpdate->interval(), 300000);

        const QStringList numbers{"4", "12", "12", "30"};
        for (int i = 0; i < threads.size(); ++i) {
            const QString n = QString::number(i + 1);
            TMonitorThread* t = threads[i];
            QVERIFY2(!t->Suspended() && !t->Finished(), qPrintable(n));
            QVERIFY(!t->FreeOnTerminate());
            QWidget* tile = qobject_cast<QWidget*>(FindComponent(form->FlowPanel1, "pnlMain" + n));
            QVERIFY(tile);
            QCOMPARE(t->ControlContainer(), tile);
            QCOMPARE(t->LabelScaleName(), FindComponent(tile, "lblScaleName" + n));
            QCOMPARE(t->LabelScaleIP(), FindComponent(tile, "lblScaleIP" + n));
            QCOMPARE(t->LabelScaleSector(), FindComponent(tile, "lblScaleSector" + n));
            QCOMPARE(t->LabelStatus(), FindComponent(tile, "lblStatus" + n));
            QCOMPARE(t->ImageStatus(), FindComponent(tile, "imgScale" + n));
            QCOMPARE(t->ImageCommStatus(), FindComponent(tile, "imgCommStatus" + n));
            QCOMPARE(t->ScaleID(), numbers[i]);
            QCOMPARE(t->ThreadPriority(), QThread::LowPriority);
            QTRY_COMPARE(FieldText(tile, "lblScaleName" + n), numbers[i]);
        }
        QTRY_COMPARE(FieldText(threads[0]->ControlContainer(), "lblScaleSector1"),
                     QStringLiteral("Padaria"));
        QCOMPARE(FieldText(threads[3]->ControlContainer(), "lblScaleIP4"),
                 QStringLiteral("127.0.0.30"));
        QCOMPARE(FieldText(threads[3]->ControlContainer(), "lblScaleSector4"),
                 QStringLiteral("Açougue"));
        QVERIFY(!FindComponent(form->FlowPanel1, "pnlMain5"));
    }

    void emptyRosterStillRefreshes() {
        WriteDatabase(Tables({{1, "127.0.0.1", 9}}));
        TBoxCloser boxes;
        auto form = Create();
        QVERIFY(boxes.Texts.isEmpty());
        QCOMPARE(form->MonitorThreadList->size(), 0);
        QCOMPARE(form->FlowPanel1->findChildren<TPanel*>().size(), 0);
        QVERIFY(form->TimerUpdate->isActive());
        form->chkOffline->click(); // nothing to set, nothing breaks
        QVERIFY(!form->chkOffline->isChecked());
    }

    void missingDatabaseEndsTheStart() {
        QFile::remove(FDatabase);
        TBoxCloser boxes;
        auto form = Create();
        QVERIFY(form->StartupAborted());
        QCOMPARE(boxes.Texts.size(), 1);
        QCOMPARE(boxes.Titles.first(), QStringLiteral("Erro"));
        QCOMPARE(boxes.Icons.first(), QMessageBox::Critical);
        const QString text = boxes.Texts.first();
        QVERIFY2(text.startsWith(QStringLiteral(
                     "Ocorreu o seguinte erro ao abrir o banco de dados do Pesagram:\r\r")),
                 qPrintable(text));
        QVERIFY(!text.contains(QLatin1Char('\n')));
        QVERIFY2(text.contains(QStringLiteral("pxr2010_New.mdb")), qPrintable(text));
        QCOMPARE(form->MonitorThreadList->size(), 0);
        QVERIFY(!form->TimerUpdate->isActive());
    }

    // A column the build reads is missing: the start-up message, the tiles
    // built so far, no timer; "Atualizar" builds again once the file is good.
    void missingColumnKeepsWhatWasBuilt() {
        WriteDatabase(Tables(Numbered(3), /*withAddress=*/false));
        TBoxCloser boxes;
        auto form = Create();
        QVERIFY(!form->StartupAborted());
        QCOMPARE(boxes.Texts.size(), 1);
        const QString text = boxes.Texts.first();
        QVERIFY2(text.startsWith(
                     QStringLiteral("Ocorreu o seguinte erro ao iniciar o Pesagram Monitor:\r\r")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("SC_Ip"), Qt::CaseInsensitive), qPrintable(text));
        QVERIFY(FindComponent(form->FlowPanel1, "pnlMain1"));
        QCOMPARE(form->MonitorThreadList->size(), 0);
        QVERIFY(!form->TimerUpdate->isActive());

        WriteDatabase(Tables(Numbered(3)));
        form->Atualiza();
        QCOMPARE(form->MonitorThreadList->size(), 3);
        QVERIFY(form->TimerUpdate->isActive());
    }

    void refreshRebuildsFromTheChangedFile() {
        WriteDatabase(Tables(Numbered(3)));
        auto form = Create();
        QCOMPARE(form->MonitorThreadList->size(), 3);
        WriteDatabase(Tables(Numbered(5)));
        form->btnAtualizar->click();
        QCOMPARE(form->MonitorThreadList->size(), 5);
        QCOMPARE(form->FlowPanel1->findChildren<TPanel*>(Qt::FindDirectChildrenOnly).size(), 5);
        QVERIFY(!DMMain->qryScales->Active());
        QVERIFY(form->TimerUpdate->isActive());
        // The next automatic refresh counts from the end of this one.
        QVERIFY(form->TimerUpdate->remainingTime() > 299000);
    }

    // The database cannot be reached at a refresh: the running tiles and
    // threads stay, the timer is armed again, and the failure goes on to the
    // general error handler.
    void unreachableDatabaseKeepsTheRunningTiles() {
        WriteDatabase(Tables(Numbered(4)));
        auto form = Create();
        const QList<TMonitorThread*> before = *form->MonitorThreadList;
        QFile::remove(FDatabase);
        bool raised = false;
        try {
            form->Atualiza();
        } catch (const std::exception&) {
            raised = true;
        }
        QVERIFY(raised);
        QCOMPARE(*form->MonitorThreadList, before);
        for (TMonitorThread* t : before)
            QVERIFY(!t->Suspended());
        QVERIFY(form->TimerUpdate->isActive());
        QVERIFY(!DMMain->qryScales->Active());
        QVERIFY(!DMMain->FDCMain->Connected());

        // An automatic refresh does not open a box over one already open;
        // with none open its failure goes on to the general error handler.
        bool raisedUnderBox = false;
        bool ranUnderBox = false;
        QTimer::singleShot(50, [&] {
            try {
                form->TimerUpdateTimer();
            } catch (const std::exception&) {
                raisedUnderBox = true;
            }
            ranUnderBox = true;
            QApplication::activeModalWidget()->close();
        });
        ShowException(QStringLiteral("earlier failure"));
        QVERIFY(ranUnderBox);
        QVERIFY(!raisedUnderBox);
        QVERIFY(form->TimerUpdate->isActive());
        QVERIFY_THROWS_EXCEPTION(std::exception, form->TimerUpdateTimer());
    }

    // A click on a filter box reaches every thread; the boxes carry into a
    // rebuild.
    void filterBoxesReachEveryThread() {
        WriteDatabase(Tables(Numbered(300)));
        auto form = Create();
        QCOMPARE(form->MonitorThreadList->size(), 300);
        form->chkOnline->click();
        form->chkInactive->click();
        for (TMonitorThread* t : *form->MonitorThreadList) {
            QVERIFY(!t->ShowOnline() && !t->ShowInactive());
            QVERIFY(t->ShowOffline() && t->ShowOutdated());
        }
        form->Atualiza();
        QCOMPARE(form->MonitorThreadList->size(), 300);
        for (TMonitorThread* t : *form->MonitorThreadList)
            QVERIFY(!t->ShowOnline() && !t->ShowInactive() && t->ShowOffline());
        form->chkOnline->click();
        for (TMonitorThread* t : *form->MonitorThreadList)
            QVERIFY(t->ShowOnline());
    }

    // Closing shows the wait dialog, stops and frees every thread and tile,
    // and releases the database; the slow pings of the threads are ended by
    // the stop request, so the close does not wait for them.
    void closeStopsEverythingBehindTheWaitDialog() {
        WriteDatabase(Tables(Numbered(8)));
        auto form = Create();
        // The wait dialog shows before the first thread stops, and is hidden
        // once all are gone.
        frmWait = new TfrmWait;
        QStringList steps;
        TEventRecorder recorder(frmWait, [&](QEvent::Type type) {
            if (type == QEvent::Show)
                steps << "show" << QString::number(form->MonitorThreadList->size());
            else if (type == QEvent::Hide)
                steps << "hide";
        });
        SetPingDelay(QStringLiteral("2"));
        // Let every thread get into its (slow) probe.
        QTest::qWait(500);
        QElapsedTimer clock;
        clock.start();
        form->close();
        const qint64 ms = clock.elapsed();
        QCOMPARE(steps, (QStringList{"show", "8", "hide"}));
        QVERIFY(!form->MonitorThreadList);
        QVERIFY(!DMMain);
        QCOMPARE(form->FlowPanel1->findChildren<TPanel*>().size(), 0);
        QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
        qInfo("close with 8 threads in a 2 s ping: %lld ms", ms);
        delete frmWait;
        frmWait = nullptr;
    }
};

QTEST_MAIN(TestRoster)
#include "tst_roster_mainwindow.moc"
