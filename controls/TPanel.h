#pragma once
// A plain panel: a rectangle painted in its own background colour, without
// bevel or caption.

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);

    QColor Color() const;
    void SetColor(const QColor& color);

    // Docks `child` to the top: top-docked children are stacked from the top
    // edge in the order of their top coordinate at the time they were
    // docked, each keeping its height and taking the panel's full width.
    void DockTop(QWidget* child);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ArrangeDocked();

    QList<QPointer<QWidget>> FTopDocked;
};
