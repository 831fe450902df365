// SPDX-License-Identifier: MIT
// Watches one pixel of the X screen: prints, for each change of its colour over the given time,
// the milliseconds since the start and the new colour (RRGGBB), one per line. For the desktop
// test of animations, which needs many samples a second.
// Usage: kelmo_pixel_timeline X Y MILLISECONDS

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: kelmo_pixel_timeline X Y MILLISECONDS\n", stderr);
        return 2;
    }
    const auto x = std::int16_t(std::atoi(argv[1]));
    const auto y = std::int16_t(std::atoi(argv[2]));
    const std::chrono::milliseconds length(std::atoi(argv[3]));
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fputs("no X display\n", stderr);
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto start = std::chrono::steady_clock::now();
    long last = -1;
    while (std::chrono::steady_clock::now() - start < length) {
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            connection, xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x, y, 1, 1, ~0U),
            nullptr);
        if (image != nullptr && xcb_get_image_data_length(image) >= 4) {
            const std::uint8_t* p = xcb_get_image_data(image);
            const long colour = long(p[2]) << 16 | long(p[1]) << 8 | long(p[0]);
            if (colour != last) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start);
                std::printf("%lld %06lx\n", static_cast<long long>(ms.count()), colour);
                std::fflush(stdout);
                last = colour;
            }
        }
        std::free(image);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    xcb_disconnect(connection);
    return 0;
}
