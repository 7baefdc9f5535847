#pragma once
// A tool button with its picture above its caption, the two centred as one
// block with a fixed gap between them.

#include <QToolButton>

class TToolButton : public QToolButton {
    Q_OBJECT
public:
    explicit TToolButton(QWidget* parent = nullptr);

    // Pixels between the picture and the caption (default 4).
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);

    // Where the picture and the caption are drawn, button not pressed.
    QRect PictureRect() const;
    QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FSpacing = 4;
};
