// The general error handler: the full-stop rule, the box it shows for a
// failure escaping an event handler, and the message loop going on; the main
// window alone ends the loop.

#include "BoxCloser.h"
#include "PainelApplication.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <stdexcept>

namespace {

// Closes the next modal message box once it is up, noting what it showed.
struct TBoxSeen {
    bool seen = false;
    bool openFlagWhileShown = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    int buttons = 0;
};

void CloseNextBox(TBoxSeen* seen) {
    auto* closer = new testsupport::TBoxCloser(
        [seen](QMessageBox* box) {
            seen->seen = true;
            seen->openFlagWhileShown = ErrorBoxOpen();
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            seen->format = box->textFormat();
            seen->buttons = int(box->buttons().size());
        },
        1);
    closer->setParent(QCoreApplication::instance());
}

class TRefusingWindow : public QWidget {
public:
    bool refuse = false;

protected:
    void closeEvent(QCloseEvent* e) override {
        if (refuse)
            e->ignore();
        else
            e->accept();
    }
};

} // namespace

class TestAppErrors : public QObject {
    Q_OBJECT
private slots:
    void fullStopRule_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("letter") << "Falhou"
                                << "Falhou.";
        QTest::newRow("full stop") << "Falhou."
                                   << "Falhou.";
        QTest::newRow("digit") << "Erro 42"
                               << "Erro 42.";
        QTest::newRow("slash, just above") << "C:/"
                                           << "C:/.";
        QTest::newRow("hyphen, just below") << "a-"
                                            << "a-";
        QTest::newRow("comma") << "a,"
                               << "a,";
        QTest::newRow("exclamation") << "Pare!"
                                     << "Pare!";
        QTest::newRow("question mark") << "Onde?"
                                       << "Onde?.";
        QTest::newRow("closing parenthesis") << "(x)"
                                             << "(x)";
        QTest::newRow("blank") << "fim "
                               << "fim ";
        QTest::newRow("line break") << "fim\r\r"
                                    << "fim\r\r";
        QTest::newRow("accented") << QStringLiteral("Comunicação")
                                  << QStringLiteral("Comunicação.");
        QTest::newRow("outside the BMP")
            << QStringLiteral("ok \U0001F600") << QStringLiteral("ok \U0001F600.");
    }
    void fullStopRule() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ExceptionMessageText(message), shown);
    }

    // A failure escaping an event handler is shown in a modal box titled with
    // the application title, with the error icon; then the loop goes on.
    void failureInEventHandler_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("std::exception") << 0 << "Banco de dados ausente.";
        QTest::newRow("markup stays text") << 1 << "<b>negrito</b>.";
        QTest::newRow("unknown failure") << 2 << "Erro desconhecido.";
        QTest::newRow("button click handler") << 3 << "Clique falhou.";
    }
    void failureInEventHandler() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        SetApplicationTitle(QStringLiteral("Pesagram - Painel de Monitoramento"));
        TBoxSeen seen;
        CloseNextBox(&seen);
        QPushButton button(QStringLiteral("Atualizar"));
        connect(&button, &QPushButton::clicked, [] { throw std::runtime_error("Clique falhou"); });
        if (kind == 3) {
            button.show();
            QVERIFY(QTest::qWaitForWindowExposed(&button));
        }
        QTimer::singleShot(0, [kind, &button] {
            if (kind == 3) {
                QTest::mouseClick(&button, Qt::LeftButton);
                return;
            }
            if (kind == 0)
                throw std::runtime_error("Banco de dados ausente");
            if (kind == 1)
                throw std::runtime_error("<b>negrito</b>");
            throw 42;
        });
        bool wentOn = false;
        QTimer::singleShot(100, [&wentOn] { wentOn = true; });
        QTRY_VERIFY_WITH_TIMEOUT(wentOn && seen.seen, 5000);
        QCOMPARE(seen.title, QStringLiteral("Pesagram - Painel de Monitoramento"));
        QCOMPARE(seen.text, text);
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.format, Qt::PlainText);
        QCOMPARE(seen.buttons, 1);
        QVERIFY(seen.openFlagWhileShown);
        QVERIFY(!ErrorBoxOpen());
    }

    // Until a title is set, boxes carry the program's neutral name.
    void defaultCaption() {
        SetApplicationTitle(QString());
        TBoxSeen seen;
        CloseNextBox(&seen);
        ShowException(QStringLiteral("x"));
        QCOMPARE(seen.title, QStringLiteral("PainelPesagram"));
    }

    // Only the accepted closing of the main window ends the loop: not a box
    // closed while the main window is hidden in the tray, not a refused close.
    void onlyMainFormEndsLoop() {
        auto* app = qobject_cast<TPainelApplication*>(qApp);
        QVERIFY(app);
        TRefusingWindow main;
        app->SetMainForm(&main);
        main.show();
        QWidget other;
        other.setAttribute(Qt::WA_QuitOnClose, true);
        QStringList steps;
        QTimer::singleShot(10, [&] {
            main.hide(); // in the tray
            other.show();
            other.close();
            steps << "other closed";
        });
        QTimer::singleShot(60, [&] {
            main.show();
            main.refuse = true;
            main.close();
            steps << "close refused";
        });
        QTimer::singleShot(120, [&] {
            main.refuse = false;
            steps << "main closing";
            main.close();
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [&] {
            steps << "timed out";
            QCoreApplication::exit(1);
        });
        guard.start(3000);
        const int rc = QCoreApplication::exec();
        app->SetMainForm(nullptr);
        QCOMPARE(rc, 0);
        QCOMPARE(steps, QStringList({"other closed", "close refused", "main closing"}));
    }
};

int main(int argc, char** argv) {
    TPainelApplication app(argc, argv);
    TestAppErrors test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_errors.moc"
