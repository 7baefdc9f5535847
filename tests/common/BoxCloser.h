#pragma once
// The tests' one closer of message boxes: while it lives, every modal message
// box is closed as soon as it shows, and what it showed is kept.

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace testsupport {

class TBoxCloser : public QObject {
public:
    // `OnBox`, when given, sees each box just before it is closed; after
    // `MaxBoxes` boxes (none: no limit) the closer closes no more.
    explicit TBoxCloser(std::function<void(QMessageBox*)> OnBox = {}, int MaxBoxes = -1);

    QStringList Titles;
    QStringList Texts;
    QList<QMessageBox::Icon> Icons;
    QList<Qt::TextFormat> Formats;
    QList<int> ButtonCounts;

private:
    QTimer FTimer;
    std::function<void(QMessageBox*)> FOnBox;
    int FLeft;
};

} // namespace testsupport
