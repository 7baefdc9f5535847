#include "RaiseListener.h"

#include "AppLog.h"
#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

Q_LOGGING_CATEGORY(lcApp, "painel.app", QtFatalMsg)

namespace {
// A request is one short line; anything longer is not one.
constexpr qint64 MaxRequestLength = 4096;
} // namespace

TRaiseListener::TRaiseListener(QWidget* mainForm, QObject* parent)
    : QObject(parent), FMainForm(mainForm) {}

bool TRaiseListener::Listen(const QString& channel) {
    if (channel.isEmpty())
        return false;
    QLocalServer::removeServer(channel);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &TRaiseListener::OnNewConnection);
    if (FServer->listen(channel))
        return true;
    // The panel runs on; a second start then finds nobody to raise.
    qCDebug(lcApp) << "raise channel" << channel << "not listening:" << FServer->errorString();
    return false;
}

void TRaiseListener::OnNewConnection() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void TRaiseListener::OnReadyRead(QLocalSocket* socket) {
    if (socket->canReadLine()) {
        const QByteArray line = socket->readLine(MaxRequestLength).trimmed();
        HandleRequest(FMainForm, line);
        socket->disconnectFromServer();
    } else if (socket->bytesAvailable() >= MaxRequestLength) {
        socket->abort();
    }
}

bool TRaiseListener::HandleRequest(QWidget* form, const QByteArray& line) {
    if (!form)
        return false;
    const QString expected =
        QString::fromStdString(platform::RaiseRequestLine(form->windowTitle().toStdString()));
    if (QString::fromUtf8(line).compare(expected, Qt::CaseInsensitive) != 0)
        return false;
    // A window in the tray or minimized stays where it is.
    if (!form->isVisible() || form->isMinimized())
        return false;
    form->raise();
    form->activateWindow();
    return true;
}
