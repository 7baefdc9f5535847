#pragma once
// The program's pictures, drawn with QPainter. Every function draws the same
// pixels at every call.

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

// The computer picture of every tile, 614 x 515, opaque.
QImage DrawCpu();

enum class TBadgeMark { Check, Cross, Bar };

struct TBadgeDesign {
    QString name;   // resource name, e.g. "GREEN_CHK"
    QColor average; // wanted mean colour over the opaque pixels, mark included
    TBadgeMark mark;
};

// The four status flags, in the order RED, GREEN, YELLOW, BLACK.
QList<TBadgeDesign> BadgeDesigns();

// A 41 x 40 status flag whose fill is tuned so that its alpha-weighted mean
// colour (white mark included) comes as close to badge.average as it can.
QImage DrawBadge(const TBadgeDesign& badge);

// Alpha-weighted mean colour of an image (red, green, blue from 0 to 255).
struct TMeanColour {
    double red = 0, green = 0, blue = 0;
};
TMeanColour MeanColour(const QImage& image);

// The wait dialog's alarm clock, 261 x 297, black outline, grey pixels only.
QImage DrawClock();

// The 48 x 48 pictures of the "Sair" and "Atualizar" buttons.
QImage DrawExitButton();
QImage DrawRefreshButton();

// The application icon at `size` x `size` pixels.
QImage DrawAppIcon(int size);
