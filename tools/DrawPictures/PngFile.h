#pragma once
// Minimal PNG and ICO encoders. Every PNG is written the same way, byte for
// byte, from the same pixels: 8 bits per channel, not interlaced, one IDAT
// chunk and no ancillary chunks (no time stamp, no text, no physical size).

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

enum class TPngColour {
    Rgba,     // colour type 6: red, green, blue, alpha
    GreyAlpha // colour type 4: grey, alpha (every pixel must be grey)
};

// Encodes `image` (any format; converted to straight, non-premultiplied alpha).
// Throws std::runtime_error when GreyAlpha is asked for a pixel that is not grey.
QByteArray EncodePng(const QImage& image, TPngColour colour);

// A Windows icon container holding the given PNG-encoded square images
// (sizes 1..256 px), in the order given.
QByteArray EncodeIco(const QList<QByteArray>& pngImages);

// Writes `data` to `path`, replacing the file. Throws std::runtime_error on failure.
void WriteFileData(const QString& path, const QByteArray& data);
