// A long run in a short time: 300 scales whose ping answers, stays silent or
// answers slowly, many refreshes with filter clicks between and around them,
// then the close. Run under AddressSanitizer/LeakSanitizer it must end with
// no error and no leak. PAINEL_SOAK_REFRESHES and PAINEL_SOAK_SCALES change
// its size (50 refreshes of 300 scales by default).

#include "Components.h"
#include "HardeningSupport.h"
#include "TPanel.h"
#include "TestSupport.h"
#include "ToolButton.h"
#include "UnitMain.h"
#include "UnitMonitorThread.h"
#include "UnitWait.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <memory>

class TestHardeningSoak : public QObject {
    Q_OBJECT

private slots:
    void soak() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString database = testsupport::UseWinePrefix(root.path());
        const QString runDir = testsupport::UsePrivateRuntimeDir(root.path());
        TFakePing ping;

        const int refreshes = qEnvironmentVariableIntValue("PAINEL_SOAK_REFRESHES") > 0
                                  ? qEnvironmentVariableIntValue("PAINEL_SOAK_REFRESHES")
                                  : 50;
        const int count = qEnvironmentVariableIntValue("PAINEL_SOAK_SCALES") > 0
                              ? qEnvironmentVariableIntValue("PAINEL_SOAK_SCALES")
                              : 300;
        std::vector<THardScale> scales;
        for (int i = 0; i < count; ++i) {
            const std::string address =
                "10.50." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
            scales.push_back(
                {std::int64_t(i + 1), address, std::int64_t(i % 3 + 1), i % 7 != 0, i % 4 != 0});
            static const char* const modes[] = {"",       "silent", "slow 0.3", "garbage",
                                                "silent", "",       "slow 1"};
            ping.SetMode(QString::fromStdString(address), QString::fromLatin1(modes[i % 7]));
        }
        QDir().mkpath(QFileInfo(database).path());
        mdbw::WriteMdb(database.toStdString(),
                       {HardScaleTable(scales),
                        HardSectTable({{1, "Frios"}, {2, "A\xc3\xa7ougue"}, {3, "Padaria"}})});

        TBoxCloser boxes;
        auto form = std::make_unique<TfrmMain>();
        form->FormCreate();
        QCOMPARE(form->MonitorThreadList->size(), count);
        frmWait = new TfrmWait;
        QCheckBox* boxesToClick[] = {form->chkOffline, form->chkOnline, form->chkOutdated,
                                     form->chkInactive};
        QRandomGenerator random(20261210);
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < refreshes; ++round) {
            // Clicks land while the threads post their changes, right before
            // the refresh and queued to run right after it.
            for (int k = 0; k < 3; ++k) {
                QCheckBox* box = boxesToClick[random.bounded(4)];
                QTimer::singleShot(random.bounded(50), box, [box] { box->click(); });
            }
            QTest::qWait(random.bounded(50, 300));
            boxesToClick[random.bounded(4)]->click();
            QTimer::singleShot(0, form->chkOnline, [&] { form->chkOnline->click(); });
            form->btnAtualizar->click();
            QCOMPARE(form->MonitorThreadList->size(), count);
        }
        const qint64 ran = clock.elapsed();
        QTest::qWait(200);
        clock.restart();
        form->close();
        qInfo("%d refreshes of %d scales in %lld ms; close in %lld ms", refreshes, count, ran,
              clock.elapsed());
        QVERIFY2(boxes.Texts.isEmpty(), qPrintable(boxes.Texts.join("|")));
        QVERIFY(!form->MonitorThreadList);
        QCOMPARE(QDir(runDir).entryList({QStringLiteral("p*.txt")}, QDir::Files), QStringList());
        form.reset();
        delete frmWait;
        frmWait = nullptr;
    }
};

QTEST_MAIN(TestHardeningSoak)
#include "tst_hardening_soak.moc"
