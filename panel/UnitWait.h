#pragma once
// The wait dialog: "Por favor, aguarde ..." beside a clock, shown while the
// main window tears down its monitor threads on closing.

#include <QDialog>

class QLabel;
class TImage;

class TfrmWait : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWait(QWidget* parent = nullptr);

    // Shows the dialog (modeless) centred over Sender, then repaints Sender
    // at once, then the dialog itself, so that both are drawn although the
    // caller goes on working without returning to the message loop. Where the
    // window system shows windows asynchronously, first waits (at most half a
    // second, user input held back) until the dialog is on screen.
    void ShowWait(QWidget* Sender);

    TImage* Image1 = nullptr;
    QLabel* Label1 = nullptr;

private:
    void CenterOver(const QWidget* Sender);
};

// The program's wait dialog; null until the entry has created it.
extern TfrmWait* frmWait;
