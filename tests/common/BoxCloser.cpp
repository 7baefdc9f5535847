#include "BoxCloser.h"

#include <QApplication>

namespace testsupport {

TBoxCloser::TBoxCloser(std::function<void(QMessageBox*)> OnBox, int MaxBoxes)
    : FOnBox(std::move(OnBox)), FLeft(MaxBoxes) {
    connect(&FTimer, &QTimer::timeout, this, [this] {
        if (FLeft == 0)
            return;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Titles << box->windowTitle();
            Texts << box->text();
            Icons << box->icon();
            Formats << box->textFormat();
            ButtonCounts << int(box->buttons().size());
            if (FOnBox)
                FOnBox(box);
            box->done(QMessageBox::Ok);
            if (FLeft > 0 && --FLeft == 0)
                FTimer.stop();
        }
    });
    FTimer.start(10);
}

} // namespace testsupport
