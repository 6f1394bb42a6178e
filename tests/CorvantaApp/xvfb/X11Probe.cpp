// What the desktop smoke test asks of the X server, with nothing but Xlib:
//   count RRGGBB X Y W H   pixels of about that colour in a rectangle of the screen
//   close WINDOW           asks a window to close, as a window manager's close button does
//   tray                   1 when an X11 system tray holds the screen's tray selection, else 0
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int count(Display* display, unsigned long rgb, int x, int y, int width, int height) {
    const Window root = DefaultRootWindow(display);
    XImage* image =
        XGetImage(display, root, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (image == nullptr) return -1;
    int found = 0;
    const auto near = [](long a, long b) { return std::labs(a - b) <= 24; };
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            if (near((pixel >> 16) & 0xFF, (rgb >> 16) & 0xFF) &&
                near((pixel >> 8) & 0xFF, (rgb >> 8) & 0xFF) && near(pixel & 0xFF, rgb & 0xFF)) {
                ++found;
            }
        }
    }
    XDestroyImage(image);
    return found;
}

void close(Display* display, Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11-probe: cannot open the display\n");
        return 1;
    }
    int status = 0;
    if (argc == 7 && std::strcmp(argv[1], "count") == 0) {
        const int found = count(display, std::stoul(argv[2], nullptr, 16), std::atoi(argv[3]),
                                std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
        std::printf("%d\n", found);
        status = found < 0 ? 1 : 0;
    } else if (argc == 2 && std::strcmp(argv[1], "tray") == 0) {
        const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
        const Atom selection = XInternAtom(display, name.c_str(), False);
        std::printf("%d\n", XGetSelectionOwner(display, selection) != 0 ? 1 : 0);
    } else if (argc == 3 && std::strcmp(argv[1], "close") == 0) {
        close(display, Window(std::stoul(argv[2])));
    } else {
        std::fprintf(stderr, "usage: x11-probe count RRGGBB X Y W H | close WINDOW | tray\n");
        status = 2;
    }
    XCloseDisplay(display);
    return status;
}
