#pragma once
// A scroll area for content whose height follows its width: the vertical
// scroll bar is shown exactly when the content, laid out at the area's full
// width, is taller than the area. The horizontal bar is never shown.

#include <QScrollArea>

class TScrollBox : public QScrollArea {
    Q_OBJECT
public:
    explicit TScrollBox(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScrollBar();
};
