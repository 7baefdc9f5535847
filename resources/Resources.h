#pragma once
// The pictures the program carries among its resources.

#include <QIcon>
#include <QImage>
#include <QString>

// Decodes the picture stored under `name` ("CPU", "GREEN_CHK", "YELLOW_CHK",
// "RED_CHK", "BLACK_CHK", and the layout pictures "CLOCK", "BTN_SAIR",
// "BTN_ATUALIZAR") from its stored PNG data, anew at every call.
// Throws std::runtime_error naming the picture when there is none by that name.
QImage LoadResourcePicture(const QString& name);

// The application's icon, in all the sizes the program carries.
QIcon ApplicationIcon();
