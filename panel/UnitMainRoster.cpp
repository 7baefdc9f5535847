// The main window's roster: the first build at start-up, the refresh, the
// filter boxes and the shutdown, with the window's own error messages.

#include "Components.h"
#include "ErrorBox.h"
#include "PanelLog.h"
#include "TImage.h"
#include "TPanel.h"
#include "TrayWatch.h"
#include "UnitDMMain.h"
#include "UnitMain.h"
#include "UnitMonitorThread.h"
#include "UnitWait.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <exception>
#include <memory>

const QString DatabaseErrorLeadIn =
    QStringLiteral("Ocorreu o seguinte erro ao abrir o banco de dados do Pesagram:");
const QString StartupErrorLeadIn =
    QStringLiteral("Ocorreu o seguinte erro ao iniciar o Pesagram Monitor:");

void ShowErrorMessage(QWidget* Parent, const QString& LeadIn, const QString& Message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erro"),
                    LeadIn + QStringLiteral("\r\r") + Message, QMessageBox::Ok, Parent);
    box.setObjectName(QStringLiteral("ErrorMessage"));
    box.setTextFormat(Qt::PlainText);
    box.setAttribute(Qt::WA_QuitOnClose, false);
    box.exec();
}

void TfrmMain::FormCreate() {
    MonitorThreadList.reset();
    try {
        MonitorThreadList = std::make_unique<QList<TMonitorThread*>>();
        if (!InitializeDatabase()) {
            // The program ends without the window ever being shown.
            FStartupAborted = true;
            return;
        }
        TFDQuery* query = DMMain->qryScales;
        query->Open();
        query->First();
        InitializeThreads();
        query->Close();
        DMMain->FDCMain->Close();
        TimerUpdate->start();
    } catch (const std::exception& failure) {
        // The window opens with the tiles built so far and without the
        // periodic refresh; "Atualizar" builds everything again.
        ShowErrorMessage(this, StartupErrorLeadIn, QString::fromUtf8(failure.what()));
    }
}

bool TfrmMain::InitializeDatabase() {
    DMMain = new TDMMain(this);
    try {
        DMMain->FDCMain->SetParam(QStringLiteral("Database"), DatabasePath);
        DMMain->FDCMain->Open();
        return true;
    } catch (const std::exception& failure) {
        ShowErrorMessage(this, DatabaseErrorLeadIn, QString::fromUtf8(failure.what()));
        return false;
    }
}

void TfrmMain::InitializeThreads() {
    TFDQuery* query = DMMain->qryScales;
    FTrayWatch->BeginRoster();
    while (!query->Eof()) {
        const auto position = static_cast<quint16>(query->RecNo() - 1);
        const QString n = QString::number(static_cast<int>(position) + 1);
        TPanel* tile = CreateMonitorControl(position);

        const QString scaleNo = query->FieldAsString(QStringLiteral("SC_No"));
        const QString address = query->FieldAsString(QStringLiteral("SC_Ip"));
        const QString sector = query->FieldAsString(QStringLiteral("Sect_Name"));

        auto* thread = new TMonitorThread(true, DMMain->FDCMain, 1, scaleNo, address, sector,
                                          scaleNo, 10, QThread::LowPriority);
        MonitorThreadList->append(thread);

        // Every reference is set before the thread starts: its body fills the
        // tile at once.
        thread->SetFreeOnTerminate(false);
        thread->SetControlContainer(tile);
        thread->SetLabelScaleName(
            FindComponentAs<QLabel>(tile, QStringLiteral("lblScaleName") + n));
        thread->SetLabelScaleIP(FindComponentAs<QLabel>(tile, QStringLiteral("lblScaleIP") + n));
        thread->SetLabelStatus(FindComponentAs<QLabel>(tile, QStringLiteral("lblStatus") + n));
        thread->SetLabelScaleSector(
            FindComponentAs<QLabel>(tile, QStringLiteral("lblScaleSector") + n));
        thread->SetImageStatus(FindComponentAs<TImage>(tile, QStringLiteral("imgScale") + n));
        thread->SetImageCommStatus(
            FindComponentAs<TImage>(tile, QStringLiteral("imgCommStatus") + n));
        thread->SetLookListener(LookListener);
        thread->SetShowOffline(chkOffline->isChecked());
        thread->SetShowOnline(chkOnline->isChecked());
        thread->SetShowOutdated(chkOutdated->isChecked());
        thread->SetShowInactive(chkInactive->isChecked());
        // Once retired, the thread is freed when it has ended.
        connect(
            thread, &QThread::finished, this, [this] { FreeRetiredThreads(false); },
            Qt::QueuedConnection);
        thread->Start();

        query->Next();
    }
}

void TfrmMain::DeleteThreads() {
    if (!MonitorThreadList)
        return;
    // Every thread is asked to stop. The stop request also ends the ping
    // command of a thread in the middle of a probe (a probe whose result
    // would be thrown away), and the GUI thread does not wait for the ended
    // commands to be reaped: a thread still ending is retired, to be freed
    // once it has ended (FreeRetiredThreads), and the close waits for it.
    for (TMonitorThread* thread : *MonitorThreadList) {
        if (!thread->Suspended())
            thread->Terminate();
    }
    while (!MonitorThreadList->isEmpty()) {
        TMonitorThread* thread = MonitorThreadList->takeFirst();
        // Freed at once (not later): the rebuild reuses the tiles' names. A
        // change a retired thread still hands over finds its tile gone and
        // is dropped.
        delete thread->ControlContainer();
        if (thread->Suspended() || thread->Finished())
            delete thread;
        else
            FRetiredThreads.append(thread);
    }
    // A build that failed between a tile and its thread left a tile without a
    // thread; it goes too, or the rebuild would find its name taken.
    for (TPanel* orphan : FlowPanel1->findChildren<TPanel*>(Qt::FindDirectChildrenOnly))
        delete orphan;
}

void TfrmMain::FreeRetiredThreads(bool Wait) {
    for (auto it = FRetiredThreads.begin(); it != FRetiredThreads.end();) {
        TMonitorThread* thread = *it;
        if (!Wait && !thread->Finished()) {
            ++it;
            continue;
        }
        // Serves the thread's pending database check, if any, until its end.
        thread->WaitFor();
        delete thread;
        it = FRetiredThreads.erase(it);
    }
}

void TfrmMain::Atualiza() {
    std::exception_ptr failure;
    try {
        TimerUpdate->stop();
        TFDQuery* query = DMMain->qryScales;
        // The roster is read before the old threads go: a database that cannot
        // be reached leaves the running tiles alone.
        query->Open();
        query->First();
        DeleteThreads();
        InitializeThreads();
    } catch (...) {
        failure = std::current_exception();
    }
    if (DMMain) {
        DMMain->qryScales->Close();
        try {
            DMMain->FDCMain->Close();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    TimerUpdate->start();
    if (failure)
        std::rethrow_exception(failure);
}

void TfrmMain::TimerUpdateTimer() {
    try {
        Atualiza();
    } catch (const std::exception& failure) {
        // Nobody may be at the panel: one box is enough, the next attempt
        // comes with the timer.
        if (ErrorBoxOpen()) {
            qCDebug(lcPanel) << "refresh failed under an open error box:" << failure.what();
            return;
        }
        throw;
    }
}

void TfrmMain::SetFilterOnAll(void (TMonitorThread::*Setter)(bool), bool Value) {
    // Each tile follows at its thread's next presentation.
    if (MonitorThreadList)
        for (TMonitorThread* thread : *MonitorThreadList)
            (thread->*Setter)(Value);
}

void TfrmMain::chkOfflineClick() {
    SetFilterOnAll(&TMonitorThread::SetShowOffline, chkOffline->isChecked());
}

void TfrmMain::chkOnlineClick() {
    SetFilterOnAll(&TMonitorThread::SetShowOnline, chkOnline->isChecked());
}

void TfrmMain::chkOutdatedClick() {
    SetFilterOnAll(&TMonitorThread::SetShowOutdated, chkOutdated->isChecked());
}

void TfrmMain::chkInactiveClick() {
    SetFilterOnAll(&TMonitorThread::SetShowInactive, chkInactive->isChecked());
}

void TfrmMain::FormClose() {
    if (FClosed)
        return;
    FClosed = true;
    // The timer goes off first: showing the dialog lets timers run while it
    // waits to be on screen, and no refresh may start now.
    TimerUpdate->stop();
    if (frmWait)
        frmWait->ShowWait(this);
    DeleteThreads();
    FreeRetiredThreads(true);
    ReleaseDatabase();
    MonitorThreadList.reset();
    if (frmWait)
        frmWait->hide();
}

void TfrmMain::ReleaseDatabase() {
    if (!DMMain)
        return;
    DMMain->qryScales->Close();
    try {
        DMMain->FDCMain->Close();
    } catch (const std::exception& failure) {
        // The driver will not end the connection: the program lets it go
        // with the data module (its engine tries once more) as it ends.
        qCDebug(lcPanel) << "the connection could not be closed:" << failure.what();
    }
    delete DMMain;
    DMMain = nullptr;
}
