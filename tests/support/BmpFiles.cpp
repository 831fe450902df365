// SPDX-License-Identifier: MIT
#include "BmpFiles.h"

#include <algorithm>
#include <vector>

namespace testing_support {

namespace {

void put16(QByteArray& b, int v) {
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}

void put32(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.append(char((v >> (8 * i)) & 0xff));
    }
}

void set32(QByteArray& b, int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = char((v >> (8 * i)) & 0xff);
    }
}

// Palette indexes with runs on the left and busy literal stretches on the right, so that both
// kinds of run-length code appear.
int indexAt(int x, int y, int colors) {
    return x < 40 ? ((x / 7 + y) % colors) : ((x * 5 + y * 3) % colors);
}

std::uint32_t maskedPixel(int x, int y, const std::array<std::uint32_t, 4>& masks) {
    std::uint32_t pixel = 0;
    const int values[4] = {(x * 9) & 0xff, (y * 7) & 0xff, (x + y) & 0xff, (x * 13 + y) & 0xff};
    for (int c = 0; c < 4; ++c) {
        const std::uint32_t mask = masks[c];
        if (mask == 0) {
            continue;
        }
        int shift = 0;
        while (((mask >> shift) & 1) == 0) {
            ++shift;
        }
        const std::uint32_t max = mask >> shift;
        pixel |= ((std::uint32_t(values[c]) * max / 255) << shift) & mask;
    }
    return pixel;
}

void encodeRow(QByteArray& out, const std::vector<int>& row, bool four) {
    const int w = int(row.size());
    int x = 0;
    auto runAt = [&](int at) {
        int r = 1;
        while (at + r < w && row[at + r] == row[at] && r < 255) {
            ++r;
        }
        return r;
    };
    while (x < w) {
        const int run = runAt(x);
        if (run >= 3) {
            out.append(char(run));
            out.append(char(four ? (row[x] << 4) | row[x] : row[x]));
            x += run;
            continue;
        }
        int end = x;
        while (end < w && end - x < 254 && runAt(end) < 3) {
            ++end;
        }
        const int count = end - x;
        if (count < 3) {
            for (int k = 0; k < count; ++k) {
                out.append(char(1));
                out.append(char(four ? (row[x + k] << 4) : row[x + k]));
            }
        } else {
            out.append(char(0));
            out.append(char(count));
            QByteArray literal;
            for (int k = 0; k < count; ++k) {
                if (!four) {
                    literal.append(char(row[x + k]));
                } else if (k % 2 == 0) {
                    literal.append(char(row[x + k] << 4));
                } else {
                    literal[literal.size() - 1] = char(literal.back() | row[x + k]);
                }
            }
            if (literal.size() % 2 == 1) {
                literal.append(char(0));
            }
            out.append(literal);
        }
        x = end;
    }
}

} // namespace

QByteArray makeBmp(const BmpLayout& l, int width, int height) {
    const bool palette = l.bits <= 8;
    const int colors = palette ? (l.colors > 0 ? l.colors : 1 << l.bits) : 0;
    QByteArray out;
    out.append("BM");
    put32(out, 0); // file size, set below
    put32(out, 0);
    put32(out, 0); // pixel offset, set below
    put32(out, std::uint32_t(l.infoSize));
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(l.topDown ? -height : height));
    put16(out, 1);
    put16(out, l.bits);
    put32(out, l.compression);
    put32(out, 0);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, std::uint32_t(l.colors));
    put32(out, 0);
    if (l.infoSize >= 52) {
        for (int c = 0; c < (l.infoSize >= 56 ? 4 : 3); ++c) {
            put32(out, l.masks[c]);
        }
    }
    out.append(QByteArray(14 + l.infoSize - out.size(), '\0'));
    if (l.compression == 3 && l.infoSize == 40) {
        for (int c = 0; c < 3; ++c) {
            put32(out, l.masks[c]);
        }
    }
    for (int i = 0; i < colors; ++i) {
        out.append(char((i * 37) & 0xff)); // blue
        out.append(char((i * 91 + 40) & 0xff));
        out.append(char((255 - i * 53) & 0xff));
        out.append(char(0));
    }
    set32(out, 10, std::uint32_t(out.size()));

    const int stride = ((width * l.bits + 31) / 32) * 4;
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int y = l.topDown ? fileRow : height - 1 - fileRow;
        std::vector<int> indexes(width);
        for (int x = 0; x < width; ++x) {
            indexes[x] = palette ? indexAt(x, y, colors) : 0;
        }
        if (l.compression == 1 || l.compression == 2) {
            encodeRow(out, indexes, l.compression == 2);
            out.append(char(0));
            out.append(char(fileRow == height - 1 ? 1 : 0));
            continue;
        }
        QByteArray row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            switch (l.bits) {
            case 1:
                row[x / 8] = char(row[x / 8] | (indexes[x] << (7 - x % 8)));
                break;
            case 4:
                row[x / 2] = char(row[x / 2] | (x % 2 ? indexes[x] : indexes[x] << 4));
                break;
            case 8:
                row[x] = char(indexes[x]);
                break;
            case 24:
                row[3 * x] = char((x + y) & 0xff);
                row[3 * x + 1] = char((y * 7) & 0xff);
                row[3 * x + 2] = char((x * 9) & 0xff);
                break;
            default: {
                const std::array<std::uint32_t, 4> standard =
                    l.bits == 16 ? std::array<std::uint32_t, 4>{0x7c00, 0x3e0, 0x1f, 0}
                                 : std::array<std::uint32_t, 4>{0xff0000, 0xff00, 0xff, 0};
                const std::uint32_t p = maskedPixel(x, y, l.compression == 3 ? l.masks : standard);
                for (int b = 0; b < l.bits / 8; ++b) {
                    row[x * (l.bits / 8) + b] = char((p >> (8 * b)) & 0xff);
                }
            }
            }
        }
        out.append(row);
    }
    set32(out, 2, std::uint32_t(out.size()));
    return out;
}

QByteArray with32(QByteArray bytes, int at, quint32 value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
    }
    return bytes;
}

QByteArray with16(QByteArray bytes, int at, quint16 value) {
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char(value >> 8);
    return bytes;
}

BmpParts bmpParts(const QByteArray& bmp) {
    BmpParts parts;
    parts.pixelOffset =
        int(std::uint8_t(bmp[10]) | (std::uint8_t(bmp[11]) << 8) | (std::uint8_t(bmp[12]) << 16));
    return parts;
}

QByteArray makeGif(int width, int height) {
    QByteArray out("GIF89a");
    put16(out, width);
    put16(out, height);
    out.append(char(0xf7)); // a global table of 256 colours
    out.append(char(0));
    out.append(char(0));
    for (int i = 0; i < 256; ++i) {
        out.append(char(i));
        out.append(char((i * 7) & 0xff));
        out.append(char(255 - i));
    }
    out.append(char(0x2c));
    put16(out, 0);
    put16(out, 0);
    put16(out, width);
    put16(out, height);
    out.append(char(0));
    out.append(char(8)); // minimum code size
    // Every pixel is a literal code; a clear code every 200 codes keeps them 9 bits wide.
    QByteArray codes;
    std::uint32_t bits = 0;
    int count = 0;
    auto writeCode = [&](int code) {
        bits |= std::uint32_t(code) << count;
        count += 9;
        while (count >= 8) {
            codes.append(char(bits & 0xff));
            bits >>= 8;
            count -= 8;
        }
    };
    writeCode(256);
    for (int i = 0; i < width * height; ++i) {
        if (i > 0 && i % 200 == 0) {
            writeCode(256);
        }
        const int x = i % width;
        const int y = i / width;
        writeCode((x * 3 + y * 5) & 0xff);
    }
    writeCode(257);
    if (count > 0) {
        codes.append(char(bits & 0xff));
    }
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
    out.append(char(0x3b));
    return out;
}

} // namespace testing_support
