// SPDX-License-Identifier: MIT
// Writes the Windows clipboard's device-independent bitmap (format 8, CF_DIB) to a .bmp file, as
// another program pasting it would see it, for the Windows desktop test. Usage:
// kelmo_clipboard_dib OUT.bmp; exit code 1 when the clipboard holds no such bitmap.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The bytes of the colour table, or the three masks, between the header and the pixels.
DWORD tableBytes(const BITMAPINFOHEADER& header) {
    if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof(BITMAPINFOHEADER)) {
        return 3 * sizeof(DWORD);
    }
    if (header.biBitCount <= 8) {
        const DWORD colours = header.biClrUsed != 0 ? header.biClrUsed : 1u << header.biBitCount;
        return colours * sizeof(RGBQUAD);
    }
    return header.biClrUsed * sizeof(RGBQUAD);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !OpenClipboard(nullptr)) {
        return 2;
    }
    const HANDLE data = GetClipboardData(CF_DIB);
    const auto* dib = data != nullptr ? static_cast<const BYTE*>(GlobalLock(data)) : nullptr;
    if (dib == nullptr) {
        CloseClipboard();
        return 1;
    }
    const SIZE_T size = GlobalSize(data);
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof(header));
    BITMAPFILEHEADER file{};
    file.bfType = 0x4d42; // "BM"
    file.bfSize = DWORD(sizeof(file) + size);
    file.bfOffBits = DWORD(sizeof(file) + header.biSize + tableBytes(header));
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(&file),
                            reinterpret_cast<const BYTE*>(&file) + sizeof(file));
    bytes.insert(bytes.end(), dib, dib + size);
    GlobalUnlock(data);
    CloseClipboard();
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        return 2;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written ? 0 : 2;
}
