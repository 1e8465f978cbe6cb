/* Small X11 helper for the script tests, which run under Xvfb without a
 * window manager.
 *   vantor_x11 close WINDOW      asks the window to close, as a window
 *                                manager's close button does (WM_PROTOCOLS /
 *                                WM_DELETE_WINDOW client message)
 *   vantor_x11 pixel WINDOW X Y  prints the colour at (X, Y) of the window's
 *                                client area as RRGGBB
 *   vantor_x11 bright WINDOW X Y W H
 *                                prints how many pixels of that rectangle are
 *                                near white (every channel 0xC0 or more) */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int close_window(Display* display, Window window) {
    XEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    ev.xclient.data.l[1] = CurrentTime;
    Status ok = XSendEvent(display, window, False, NoEventMask, &ev);
    XSync(display, False);
    return ok ? 0 : 1;
}

static int print_pixel(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 1;
    unsigned long p = XGetPixel(image, 0, 0);
    printf("%02lx%02lx%02lx\n", (p & image->red_mask) >> 16, (p & image->green_mask) >> 8, p & image->blue_mask);
    XDestroyImage(image);
    return 0;
}

static int count_bright(Display* display, Window window, int x, int y, int w, int h) {
    XImage* image = XGetImage(display, window, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!image) return 1;
    long count = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            unsigned long p = XGetPixel(image, i, j);
            unsigned long r = (p & image->red_mask) >> 16, g = (p & image->green_mask) >> 8, b = p & image->blue_mask;
            if (r >= 0xC0 && g >= 0xC0 && b >= 0xC0) ++count;
        }
    printf("%ld\n", count);
    XDestroyImage(image);
    return 0;
}

static int ignore_errors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

int main(int argc, char** argv) {
    int is_close = argc == 3 && strcmp(argv[1], "close") == 0;
    int is_pixel = argc == 5 && strcmp(argv[1], "pixel") == 0;
    int is_bright = argc == 7 && strcmp(argv[1], "bright") == 0;
    if (!is_close && !is_pixel && !is_bright) {
        fprintf(stderr, "usage: %s close WINDOW | pixel WINDOW X Y | bright WINDOW X Y W H\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    /* A window that went away answers with a status, not an abort. */
    XSetErrorHandler(ignore_errors);
    Window window = (Window)strtoul(argv[2], NULL, 0);
    int status;
    if (is_close) status = close_window(display, window);
    else if (is_pixel) status = print_pixel(display, window, atoi(argv[3]), atoi(argv[4]));
    else status = count_bright(display, window, atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), atoi(argv[6]));
    XCloseDisplay(display);
    return status;
}
