#include "PngFile.h"

#include <QFile>
#include <QSaveFile>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace {

std::uint32_t Crc32(const char* data, qsizetype length, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qsizetype i = 0; i < length; ++i)
        crc = table[(crc ^ static_cast<std::uint8_t>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void AppendBigEndian32(QByteArray& out, std::uint32_t value) {
    out.append(static_cast<char>(value >> 24));
    out.append(static_cast<char>(value >> 16));
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value));
}

void AppendLittleEndian16(QByteArray& out, std::uint16_t value) {
    out.append(static_cast<char>(value));
    out.append(static_cast<char>(value >> 8));
}

void AppendLittleEndian32(QByteArray& out, std::uint32_t value) {
    AppendLittleEndian16(out, static_cast<std::uint16_t>(value));
    AppendLittleEndian16(out, static_cast<std::uint16_t>(value >> 16));
}

void AppendChunk(QByteArray& out, const char type[4], const QByteArray& payload) {
    AppendBigEndian32(out, static_cast<std::uint32_t>(payload.size()));
    QByteArray body(type, 4);
    body.append(payload);
    out.append(body);
    AppendBigEndian32(out, Crc32(body.constData(), body.size()));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Applies PNG filter `type` to `row` (with `prior` the unfiltered row above,
// all zero for the first row); `bpp` is the number of bytes per pixel.
QByteArray FilterRow(int type, const QByteArray& row, const QByteArray& prior, int bpp) {
    QByteArray out(row.size() + 1, '\0');
    out[0] = static_cast<char>(type);
    for (qsizetype i = 0; i < row.size(); ++i) {
        const int x = static_cast<std::uint8_t>(row[i]);
        const int a = i >= bpp ? static_cast<std::uint8_t>(row[i - bpp]) : 0;
        const int b = static_cast<std::uint8_t>(prior[i]);
        const int c = i >= bpp ? static_cast<std::uint8_t>(prior[i - bpp]) : 0;
        int predicted = 0;
        switch (type) {
        case 1:
            predicted = a;
            break;
        case 2:
            predicted = b;
            break;
        case 3:
            predicted = (a + b) / 2;
            break;
        case 4:
            predicted = Paeth(a, b, c);
            break;
        default:
            break;
        }
        out[i + 1] = static_cast<char>((x - predicted) & 0xFF);
    }
    return out;
}

// The usual heuristic: per row, the filter whose output has the smallest sum
// of absolute values (bytes read as signed).
QByteArray BestFilteredRow(const QByteArray& row, const QByteArray& prior, int bpp) {
    QByteArray best;
    long bestScore = -1;
    for (int type = 0; type <= 4; ++type) {
        QByteArray candidate = FilterRow(type, row, prior, bpp);
        long score = 0;
        for (qsizetype i = 1; i < candidate.size(); ++i)
            score += std::abs(static_cast<int>(static_cast<std::int8_t>(candidate[i])));
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = std::move(candidate);
        }
    }
    return best;
}

} // namespace

QByteArray EncodePng(const QImage& image, TPngColour colour) {
    if (image.isNull())
        throw std::runtime_error("cannot encode an empty image");
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width(), height = rgba.height();
    const int bpp = colour == TPngColour::Rgba ? 4 : 2;

    QByteArray raw;
    QByteArray prior(qsizetype(width) * bpp, '\0');
    for (int y = 0; y < height; ++y) {
        const uchar* line = rgba.constScanLine(y);
        QByteArray row(qsizetype(width) * bpp, '\0');
        for (int x = 0; x < width; ++x) {
            const uchar* p = line + 4 * x;
            if (colour == TPngColour::Rgba) {
                for (int k = 0; k < 4; ++k)
                    row[4 * x + k] = static_cast<char>(p[k]);
            } else {
                if (p[0] != p[1] || p[1] != p[2])
                    throw std::runtime_error("grey picture holds a coloured pixel");
                row[2 * x] = static_cast<char>(p[0]);
                row[2 * x + 1] = static_cast<char>(p[3]);
            }
        }
        raw.append(BestFilteredRow(row, prior, bpp));
        prior = row;
    }

    QByteArray header;
    AppendBigEndian32(header, static_cast<std::uint32_t>(width));
    AppendBigEndian32(header, static_cast<std::uint32_t>(height));
    header.append(char(8));                                  // bit depth
    header.append(char(colour == TPngColour::Rgba ? 6 : 4)); // colour type
    header.append(char(0)).append(char(0)).append(char(0));  // deflate, adaptive, no interlace

    // qCompress yields a zlib stream behind a 4-byte length prefix.
    const QByteArray compressed = qCompress(raw, 9).mid(4);

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", compressed);
    AppendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray EncodeIco(const QList<QByteArray>& pngImages) {
    QByteArray ico;
    AppendLittleEndian16(ico, 0); // reserved
    AppendLittleEndian16(ico, 1); // icon
    AppendLittleEndian16(ico, static_cast<std::uint16_t>(pngImages.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(pngImages.size());
    for (const QByteArray& png : pngImages) {
        const QImage image = QImage::fromData(png, "PNG");
        if (image.isNull() || image.width() > 256 || image.height() > 256)
            throw std::runtime_error("icon entry is not a PNG of at most 256 px");
        ico.append(static_cast<char>(image.width() & 0xFF)); // 256 is stored as 0
        ico.append(static_cast<char>(image.height() & 0xFF));
        ico.append(char(0));           // no palette
        ico.append(char(0));           // reserved
        AppendLittleEndian16(ico, 1);  // colour planes
        AppendLittleEndian16(ico, 32); // bits per pixel
        AppendLittleEndian32(ico, static_cast<std::uint32_t>(png.size()));
        AppendLittleEndian32(ico, offset);
        offset += static_cast<std::uint32_t>(png.size());
    }
    for (const QByteArray& png : pngImages)
        ico.append(png);
    return ico;
}

void WriteFileData(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw std::runtime_error("cannot write " + path.toStdString());
}
