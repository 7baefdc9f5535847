// The entry: a first start creates the main window and then the hidden wait
// dialog, runs the loop and releases the lock at the end; a second start only
// shows its message and ends with 0; a failure while starting escapes with
// the lock released.

#include "BoxCloser.h"
#include "PainelApplication.h"
#include "PainelPesagram.h"
#include "UnitWait.h"

#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <stdexcept>

namespace {

bool LockIsFree() {
    platform::TAppMutex probe(platform::AppMutexName);
    return probe.LastError() == 0;
}

} // namespace

class TestAppEntry : public QObject {
    Q_OBJECT
    QTemporaryDir FRun;
    TPainelApplication* FApp = nullptr;

private slots:
    void initTestCase() {
        QVERIFY(FRun.isValid());
        QFile::setPermissions(FRun.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", FRun.path().toLocal8Bit());
        FApp = qobject_cast<TPainelApplication*>(qApp);
        QVERIFY(FApp);
    }

    void firstInstance() {
        SetApplicationTitle(QString());
        QStringList seen;
        bool waitExistedAtCreation = true;
        bool heldWhileRunning = false;
        QWidget* created = nullptr;
        QPointer<QWidget> createdAlive;
        QTimer::singleShot(50, [&] {
            seen << (frmWait && !frmWait->isVisible() ? "wait dialog hidden" : "no wait dialog");
            seen << (created && created->isVisible() ? "main shown" : "main not shown");
            heldWhileRunning = !LockIsFree();
            created->close();
        });
        const int rc = PainelPesagram(*FApp, [&] {
            waitExistedAtCreation = frmWait != nullptr;
            seen << ApplicationTitle();
            created = new QWidget;
            createdAlive = created;
            created->setWindowTitle(ApplicationTitle());
            return created;
        });
        QCOMPARE(rc, 0);
        QVERIFY(createdAlive.isNull()); // freed at the end
        QCOMPARE(seen, QStringList({"Pesagram - Painel de Monitoramento", "wait dialog hidden",
                                    "main shown"}));
        QVERIFY(!waitExistedAtCreation);
        QVERIFY(heldWhileRunning);
        QVERIFY(!AppMutex);
        QVERIFY(frmWait == nullptr);
        QCOMPARE(MutexErr, 0);
        QVERIFY(LockIsFree());
        FApp->SetMainForm(nullptr);
    }

    void secondInstance() {
        SetApplicationTitle(QString());
        platform::TAppMutex running(platform::AppMutexName);
        QCOMPARE(running.LastError(), 0);
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::Critical;
        int buttons = 0;
        testsupport::TBoxCloser closer([&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = int(box->buttons().size());
        });
        bool created = false;
        const int rc = PainelPesagram(*FApp, [&] {
            created = true;
            return new QWidget;
        });
        QCOMPARE(rc, 0);
        QVERIFY(!created);
        QCOMPARE(caption, QStringLiteral("PainelPesagram"));
        QCOMPARE(text, QStringLiteral("Este aplicativo já está iniciado."));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, 1);
        QVERIFY(MutexErr != 0);
        QVERIFY(!AppMutex);
        QVERIFY(AppHandle == nullptr);
        QVERIFY(frmWait == nullptr);
        QCOMPARE(ApplicationTitle(), QStringLiteral("PainelPesagram"));
    }

    // The wait dialog and the message boxes show the application's icon.
    void windowsShowTheApplicationIcon() {
        TfrmWait wait;
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("x"), QStringLiteral("y"));
        for (QWidget* window : {static_cast<QWidget*>(&wait), static_cast<QWidget*>(&box)}) {
            for (int size : {16, 32, 48, 64, 128, 256}) {
                const QImage stored(QStringLiteral(":/icon/app_%1.png").arg(size));
                QVERIFY(!stored.isNull());
                QCOMPARE(window->windowIcon()
                             .pixmap(QSize(size, size))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                         stored.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            }
        }
    }

    void failureWhileStarting() {
        bool threw = false;
        try {
            PainelPesagram(
                *FApp, []() -> QWidget* { throw std::runtime_error("Banco de dados ausente"); });
        } catch (const std::runtime_error& e) {
            threw = QByteArray(e.what()) == "Banco de dados ausente";
        }
        QVERIFY(threw);
        QVERIFY(!AppMutex);
        QVERIFY(LockIsFree());
    }
};

int main(int argc, char** argv) {
    TPainelApplication app(argc, argv);
    TestAppEntry test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_entry.moc"
