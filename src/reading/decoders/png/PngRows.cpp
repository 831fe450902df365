// SPDX-License-Identifier: MIT
#include "PngRows.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace platform::decoders::png {

namespace {

// Paeth's predictor, written without branches so that the compiler keeps it in registers.
inline uchar paeth(int a, int b, int c) {
    const int p = b - c;
    const int q = a - c;
    const int pa = std::abs(p);
    const int pb = std::abs(q);
    const int pc = std::abs(p + q);
    const int ab = pb < pa ? b : a;
    const int m = pb < pa ? pb : pa;
    return uchar(pc < m ? c : ab);
}

// The filters that reach back to the left, for a fixed distance: the left pixel is kept in
// registers (the compiler unrolls its bytes and works on them side by side), and the rows are
// declared apart so that nothing is read back from memory that was just written. A part of a
// row `continued` from bytes undone just before it starts from them rather than from zeros.
template <int Step> void startFrom(uchar (&state)[Step], const uchar* before, bool continued) {
    for (int k = 0; k < Step; ++k) {
        state[k] = continued ? before[k - Step] : 0;
    }
}

template <int Step> void sub(uchar* __restrict row, qsizetype bytes, bool continued) {
    uchar left[Step];
    startFrom<Step>(left, row, continued);
    for (qsizetype i = 0; i + Step <= bytes; i += Step) {
        for (int k = 0; k < Step; ++k) {
            left[k] = uchar(row[i + k] + left[k]);
            row[i + k] = left[k];
        }
    }
}

template <int Step>
void average(uchar* __restrict row, const uchar* __restrict prior, qsizetype bytes,
             bool continued) {
    uchar left[Step];
    startFrom<Step>(left, row, continued);
    for (qsizetype i = 0; i + Step <= bytes; i += Step) {
        for (int k = 0; k < Step; ++k) {
            left[k] = uchar(row[i + k] + ((left[k] + prior[i + k]) >> 1));
            row[i + k] = left[k];
        }
    }
}

template <int Step>
void paethRow(uchar* __restrict row, const uchar* __restrict prior, qsizetype bytes,
              bool continued) {
    uchar left[Step], upperLeft[Step];
    startFrom<Step>(left, row, continued);
    startFrom<Step>(upperLeft, prior, continued);
    for (qsizetype i = 0; i + Step <= bytes; i += Step) {
        for (int k = 0; k < Step; ++k) {
            const uchar up = prior[i + k];
            left[k] = uchar(row[i + k] + paeth(left[k], up, upperLeft[k]));
            upperLeft[k] = up;
            row[i + k] = left[k];
        }
    }
}

// Average and Paeth for whole pixels of three or four bytes, a pixel at a time in 16-bit lanes:
// each pixel depends on the one to its left, so the lanes are the pixel's channels, and what
// this saves over the plain loop is the instructions, not the chain.
#if defined(__x86_64__)
template <int Step> __attribute__((target("sse4.1"))) inline __m128i pixelAt(const uchar* p) {
    // Assembled in a register: three bytes copied into a word in memory and read back whole
    // would stall on every pixel, waiting for the byte stores to reach the cache.
    int v = 0;
    if constexpr (Step == 4) {
        std::memcpy(&v, p, 4);
    } else {
        v = p[0] | (p[1] << 8) | (p[2] << 16);
    }
    return _mm_cvtepu8_epi16(_mm_cvtsi32_si128(v));
}
template <int Step>
__attribute__((target("sse4.1"))) inline void storePixel(uchar* p, __m128i wide) {
    const auto v = unsigned(_mm_cvtsi128_si32(_mm_packus_epi16(wide, wide)));
    if constexpr (Step == 4) {
        std::memcpy(p, &v, 4);
    } else { // never the next pixel's byte: it is still filtered
        p[0] = uchar(v);
        p[1] = uchar(v >> 8);
        p[2] = uchar(v >> 16);
    }
}

template <int Step>
__attribute__((target("sse4.1"))) void wideAverage(uchar* row, const uchar* prior, qsizetype bytes,
                                                   bool continued) {
    const __m128i low = _mm_set1_epi16(0xff);
    __m128i left = continued ? pixelAt<Step>(row - Step) : _mm_setzero_si128();
    for (qsizetype i = 0; i + Step <= bytes; i += Step) {
        const __m128i up = pixelAt<Step>(prior + i);
        const __m128i mean = _mm_srli_epi16(_mm_add_epi16(left, up), 1);
        left = _mm_and_si128(_mm_add_epi16(pixelAt<Step>(row + i), mean), low);
        storePixel<Step>(row + i, left);
    }
}

template <int Step>
__attribute__((target("sse4.1"))) void widePaeth(uchar* row, const uchar* prior, qsizetype bytes,
                                                 bool continued) {
    const __m128i low = _mm_set1_epi16(0xff);
    __m128i left = continued ? pixelAt<Step>(row - Step) : _mm_setzero_si128();
    __m128i upperLeft = continued ? pixelAt<Step>(prior - Step) : _mm_setzero_si128();
    for (qsizetype i = 0; i + Step <= bytes; i += Step) {
        const __m128i up = pixelAt<Step>(prior + i);
        const __m128i p = _mm_sub_epi16(up, upperLeft);
        const __m128i q = _mm_sub_epi16(left, upperLeft);
        const __m128i pa = _mm_abs_epi16(p);
        const __m128i pb = _mm_abs_epi16(q);
        const __m128i pc = _mm_abs_epi16(_mm_add_epi16(p, q));
        const __m128i leftOrUp = _mm_blendv_epi8(left, up, _mm_cmpgt_epi16(pa, pb));
        const __m128i nearest = _mm_min_epi16(pa, pb);
        const __m128i predicted =
            _mm_blendv_epi8(leftOrUp, upperLeft, _mm_cmpgt_epi16(nearest, pc));
        left = _mm_and_si128(_mm_add_epi16(pixelAt<Step>(row + i), predicted), low);
        upperLeft = up;
        storePixel<Step>(row + i, left);
    }
}

bool haveSse41() {
    static const bool have = __builtin_cpu_supports("sse4.1");
    return have;
}

template <int Step>
bool wideFilter(int filter, uchar* row, const uchar* prior, qsizetype bytes, bool continued) {
    if constexpr (Step == 3 || Step == 4) {
        if (haveSse41() && (filter == 3 || filter == 4)) {
            if (filter == 3) {
                wideAverage<Step>(row, prior, bytes, continued);
            } else {
                widePaeth<Step>(row, prior, bytes, continued);
            }
            return true;
        }
    }
    return false;
}
#else
template <int Step> bool wideFilter(int, uchar*, const uchar*, qsizetype, bool) {
    return false;
}
#endif

template <int Step>
void unfilterWith(int filter, uchar* row, const uchar* prior, qsizetype bytes, bool continued) {
    if (wideFilter<Step>(filter, row, prior, bytes, continued)) {
        return;
    }
    switch (filter) {
    case 0:
        return;
    case 1:
        sub<Step>(row, bytes, continued);
        return;
    case 2:
        for (qsizetype i = 0; i < bytes; ++i) {
            row[i] = uchar(row[i] + prior[i]);
        }
        return;
    case 3:
        average<Step>(row, prior, bytes, continued);
        return;
    case 4:
        paethRow<Step>(row, prior, bytes, continued);
        return;
    default:
        throw DecodeFailure(
            QStringLiteral("los datos de imagen están dañados (filtro %1)").arg(filter));
    }
}

// Four pixels at a time of 8-bit RGB or RGBA rows by SSSE3's byte shuffle, where the processor
// has it (every x86-64 processor of the last fifteen years); returns how many pixels it did.
#if defined(__x86_64__)
template <bool Alpha>
__attribute__((target("ssse3"))) int shuffled(const uchar* row, quint32* out, int pixels) {
    // Bytes R, G, B(, A) to the B, G, R, A of a little-endian 0xAARRGGBB.
    const __m128i order = Alpha
                              ? _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15)
                              : _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i opaque = _mm_set1_epi32(Alpha ? 0 : int(0xff000000u));
    constexpr int step = Alpha ? 4 : 3;
    int x = 0;
    for (; x + 6 <= pixels; x += 4) { // 16 bytes are read: never past the row's end
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + step * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_shuffle_epi8(in, order), opaque));
    }
    return x;
}
bool haveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}
#else
template <bool Alpha> int shuffled(const uchar*, quint32*, int) {
    return 0;
}
bool haveSsse3() {
    return false;
}
#endif

inline quint8 to8(quint16 x) { // the nearest 8-bit value, as Qt's conversions give it
    return quint8((x + 128) / 257);
}

inline quint16 sample16(const uchar* p) {
    return quint16((p[0] << 8) | p[1]);
}

} // namespace

void unfilterRow(int filter, uchar* row, const uchar* prior, qsizetype bytes, int step,
                 bool continued) {
    switch (step) {
    case 1:
        return unfilterWith<1>(filter, row, prior, bytes, continued);
    case 2:
        return unfilterWith<2>(filter, row, prior, bytes, continued);
    case 3:
        return unfilterWith<3>(filter, row, prior, bytes, continued);
    case 4:
        return unfilterWith<4>(filter, row, prior, bytes, continued);
    case 6:
        return unfilterWith<6>(filter, row, prior, bytes, continued);
    default:
        return unfilterWith<8>(filter, row, prior, bytes, continued);
    }
}

RowConverter::RowConverter(const PngFile& file)
    : header_(file.header), transparency_(file.transparency) {
    const int type = header_.colourType;
    alpha_ = type == GreyAlpha || type == TruecolourAlpha || transparency_.present;
    if (type == Indexed) {
        // Qt shows a value past the palette's end as the palette's first entry.
        for (size_t i = 0; i < table_.size(); ++i) {
            table_[i] = i < size_t(file.paletteSize) ? file.palette[i] : file.palette[0];
        }
    } else if (type == Grey && header_.bitDepth <= 8) {
        const int levels = (1 << header_.bitDepth) - 1;
        for (int v = 0; v <= levels; ++v) {
            const int c = v * 255 / levels;
            table_[size_t(v)] = qRgb(c, c, c);
        }
        if (transparency_.present && transparency_.key[0] <= levels) {
            table_[transparency_.key[0]] = 0;
        }
    }
}

void RowConverter::convert(const uchar* row, quint32* out, int pixels) const {
    if (header_.bitDepth == 16) {
        fromDeep(row, out, pixels);
    } else if (header_.colourType == Indexed || header_.colourType == Grey) {
        fromTable(row, out, pixels);
    } else {
        fromTruecolour(row, out, pixels);
    }
}

void RowConverter::fromTable(const uchar* row, quint32* out, int pixels) const {
    const int depth = header_.bitDepth;
    if (depth == 8) {
        for (int x = 0; x < pixels; ++x) {
            out[x] = table_[row[x]];
        }
        return;
    }
    const int perByte = 8 / depth;
    const int mask = (1 << depth) - 1;
    for (int x = 0; x < pixels; ++x) {
        const int shift = 8 - depth * (x % perByte + 1);
        out[x] = table_[size_t((row[x / perByte] >> shift) & mask)];
    }
}

void RowConverter::fromTruecolour(const uchar* row, quint32* out, int pixels) const {
    switch (header_.colourType) {
    case Truecolour: {
        const auto& key = transparency_.key;
        const bool keyed = transparency_.present && key[0] < 256 && key[1] < 256 && key[2] < 256;
        const quint32 transparent = qRgb(key[0] & 0xff, key[1] & 0xff, key[2] & 0xff);
        if (!keyed) {
            const int done = haveSsse3() ? shuffled<false>(row, out, pixels) : 0;
            for (int x = done; x < pixels; ++x) {
                out[x] = qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
            }
            return;
        }
        for (int x = 0; x < pixels; ++x, row += 3) {
            const quint32 p = qRgb(row[0], row[1], row[2]);
            out[x] = p == transparent ? p & 0xffffffu : p;
        }
        return;
    }
    case TruecolourAlpha: {
        const int done = haveSsse3() ? shuffled<true>(row, out, pixels) : 0;
        for (int x = done; x < pixels; ++x) {
            out[x] = qRgba(row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]);
        }
        return;
    }
    default: // grey with alpha
        for (int x = 0; x < pixels; ++x, row += 2) {
            out[x] = qRgba(row[0], row[0], row[0], row[1]);
        }
        return;
    }
}

void RowConverter::fromDeep(const uchar* row, quint32* out, int pixels) const {
    const int channels = header_.channels();
    const bool colour = header_.colourType == Truecolour || header_.colourType == TruecolourAlpha;
    const bool ownAlpha = header_.colourType == GreyAlpha || header_.colourType == TruecolourAlpha;
    const auto& key = transparency_.key;
    for (int x = 0; x < pixels; ++x, row += 2 * channels) {
        const quint16 r = sample16(row);
        const quint16 g = colour ? sample16(row + 2) : r;
        const quint16 b = colour ? sample16(row + 4) : r;
        int a = 255;
        if (ownAlpha) {
            a = to8(sample16(row + 2 * (channels - 1)));
        } else if (transparency_.present && r == key[0] &&
                   (!colour || (g == key[1] && b == key[2]))) {
            a = 0;
        }
        out[x] = qRgba(to8(r), to8(g), to8(b), a);
    }
}

} // namespace platform::decoders::png
