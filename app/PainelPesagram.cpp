#include "PainelPesagram.h"

#include "PainelApplication.h"
#include "RaiseListener.h"
#include "UnitWait.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QWidget>

std::unique_ptr<platform::TAppMutex> AppMutex;
std::int32_t MutexErr = 0;
platform::TWindowHandle AppHandle = nullptr;
TfrmMain* frmMain = nullptr;

QString SecondInstanceMessage() {
    return QStringLiteral("Este aplicativo já está iniciado.");
}

bool CheckSecondInstance() {
    AppMutex = std::make_unique<platform::TAppMutex>(platform::AppMutexName);
    MutexErr = AppMutex->LastError();
    if (MutexErr == 0)
        return false;
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), SecondInstanceMessage(),
                    QMessageBox::Ok);
    box.setAttribute(Qt::WA_QuitOnClose, false);
    box.exec();
    // The box leaves the screen before the running panel is asked to come to
    // the front: a box vanishing afterwards could take the focus with it.
    box.hide();
    QCoreApplication::processEvents();
    return true;
}

namespace {

// Step 5: releases the marker and what the window search kept, however the
// steps before it end.
struct TReleaseAtEnd {
    TReleaseAtEnd() = default;
    TReleaseAtEnd(const TReleaseAtEnd&) = delete;
    TReleaseAtEnd& operator=(const TReleaseAtEnd&) = delete;
    ~TReleaseAtEnd() {
        if (AppHandle) {
            platform::ReleaseWindowHandle(AppHandle);
            AppHandle = nullptr;
        }
        AppMutex.reset();
    }
};

// The two windows are freed when the entry ends, also when starting failed
// half-way (the main window then stops what it had started), and before the
// marker is released.
struct TFormsAtEnd {
    std::unique_ptr<QWidget> main;
    TFormsAtEnd() = default;
    TFormsAtEnd(const TFormsAtEnd&) = delete;
    TFormsAtEnd& operator=(const TFormsAtEnd&) = delete;
    ~TFormsAtEnd() {
        delete frmWait;
        frmWait = nullptr;
        main.reset();
        frmMain = nullptr;
    }
};

} // namespace

int PainelPesagram(TPainelApplication& app, const std::function<QWidget*()>& createMainForm) {
    CheckSecondInstance();
    TReleaseAtEnd release;
    const QString title = QString::fromUtf8(PainelTitle);
    if (MutexErr != 0) {
        AppHandle = platform::FindTopLevelWindow(title.toStdString());
        if (AppHandle)
            platform::SetForegroundWindow(AppHandle);
        return 0;
    }

    // A parentless main window has a taskbar button of its own.
    SetApplicationTitle(title);
    TFormsAtEnd forms;
    forms.main.reset(createMainForm());
    QWidget* mainForm = forms.main.get();
    if (!mainForm)
        return 0; // the main window ended the start itself
    app.SetMainForm(mainForm);
    frmWait = new TfrmWait;

    TRaiseListener listener(mainForm);
    listener.Listen(QString::fromStdString(platform::RaiseChannelName()));

    mainForm->show();
    app.exec();
    return 0;
}

void ReportStartupFailure(const std::exception* failure) {
    if (failure)
        ShowException(*failure);
    else
        ShowException(QStringLiteral("Erro desconhecido"));
}
