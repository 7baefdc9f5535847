#pragma once
// A layout that places its items left to right and wraps to a new row when
// the next item would reach the inner right edge. Hidden widgets take no
// place. Its height follows its content (height for width).

#include <QLayout>
#include <QList>

class TFlowLayout : public QLayout {
    Q_OBJECT
public:
    // The padding on each side defaults to 3 px.
    explicit TFlowLayout(QWidget* parent = nullptr);
    ~TFlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

    // Whether rows wrap. Switching it off then on places every item again
    // for the current width.
    bool Wrap() const { return FWrap; }
    void SetWrap(bool value);

private:
    // Places the items inside `rect` (when `apply`) and returns the height
    // the content needs, padding included.
    int DoLayout(const QRect& rect, bool apply) const;
    // Whether the item takes no place (a hidden widget).
    bool Skipped(const QLayoutItem* item) const;

    QList<QLayoutItem*> FItems;
    bool FWrap = true;
};
