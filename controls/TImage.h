#pragma once
// A picture control: shows one picture inside its box.

#include <QImage>
#include <QWidget>

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // The picture shown; the control keeps its own copy.
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return FPicture; }

    // Proportional: a picture larger than the box is shrunk to fit with its
    // aspect ratio kept; a smaller one keeps its own size. Never enlarged.
    bool Proportional() const { return FProportional; }
    void SetProportional(bool value);
    // Center: the picture is centred in the box instead of drawn from its
    // top-left corner.
    bool Center() const { return FCenter; }
    void SetCenter(bool value);

    // Where the picture is drawn inside the box (widget coordinates).
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage FPicture;
    bool FProportional = false;
    bool FCenter = false;
};
