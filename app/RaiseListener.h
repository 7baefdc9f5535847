#pragma once
// The running panel's side of raising: where the window system cannot find
// the panel's window by its title for a second start, the panel listens on a
// per-user local channel and raises its main window when asked to.

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QWidget;

class TRaiseListener : public QObject {
    Q_OBJECT
public:
    explicit TRaiseListener(QWidget* mainForm, QObject* parent = nullptr);

    // Listens on `channel`, first removing a socket left behind by a panel
    // that ended without cleaning up (only the holder of the single-instance
    // lock listens, so any socket found there is stale). An empty channel
    // means the platform raises windows by itself: nothing is done. Returns
    // whether it listens.
    bool Listen(const QString& channel);

    // Raises and activates `form` if it is on screen (visible, not hidden in
    // the tray, not minimized) and `line` asks for a window of its title (the
    // title compared without regard to case). Returns whether it raised it.
    static bool HandleRequest(QWidget* form, const QByteArray& line);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QPointer<QWidget> FMainForm;
    QLocalServer* FServer = nullptr;
};
