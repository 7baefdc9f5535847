#include "PainelApplication.h"

#include "Resources.h"

#include <QMessageBox>

namespace {

QString g_title;
int g_openErrorBoxes = 0;

struct TOpenBoxCount {
    TOpenBoxCount() { ++g_openErrorBoxes; }
    ~TOpenBoxCount() { --g_openErrorBoxes; }
    TOpenBoxCount(const TOpenBoxCount&) = delete;
    TOpenBoxCount& operator=(const TOpenBoxCount&) = delete;
};

} // namespace

TPainelApplication::TPainelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(ApplicationDefaultName));
    // Every window without an icon of its own (the wait dialog, the message
    // boxes) shows the application's icon.
    setWindowIcon(ApplicationIcon());
}

void TPainelApplication::SetMainForm(QWidget* form) {
    FMainForm = form;
    setQuitOnLastWindowClosed(false);
}

bool TPainelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        const bool handled = QApplication::notify(receiver, event);
        if (event->type() == QEvent::Close && receiver && receiver == FMainForm.data() &&
            event->isAccepted())
            QCoreApplication::exit(0);
        return handled;
    } catch (const std::exception& failure) {
        ShowException(failure);
    } catch (...) {
        ShowException(QStringLiteral("Erro desconhecido"));
    }
    return false;
}

QString ApplicationTitle() {
    if (!g_title.isEmpty())
        return g_title;
    return QString::fromLatin1(ApplicationDefaultName);
}

void SetApplicationTitle(const QString& title) {
    g_title = title;
}

QString ExceptionMessageText(const QString& message) {
    if (message.isEmpty())
        return message;
    // The last character as a code point (a surrogate pair counts as one).
    char32_t last = message.back().unicode();
    if (message.size() >= 2 && message.back().isLowSurrogate() &&
        message.at(message.size() - 2).isHighSurrogate())
        last = QChar::surrogateToUcs4(message.at(message.size() - 2), message.back());
    if (last > U'.')
        return message + QLatin1Char('.');
    return message;
}

void ShowException(const QString& message) {
    TOpenBoxCount open;
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), ExceptionMessageText(message),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // a message is never read as markup
    box.setAttribute(Qt::WA_QuitOnClose, false);
    box.exec();
}

void ShowException(const std::exception& failure) {
    ShowException(QString::fromUtf8(failure.what()));
}

bool ErrorBoxOpen() {
    return g_openErrorBoxes > 0;
}
