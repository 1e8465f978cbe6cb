/* Small X11 helper for the script tests, which run under Xvfb without a
 * window manager.
 *   vantor_x11 close WINDOW      asks the window to close, as a window
 *                                manager's close button does (WM_PROTOCOLS /
 *                                WM_DELETE_WINDOW client message)
 *   vantor_x11 pixel WINDOW X Y  prints the colour at (X, Y) of the window's
 *                                client area as RRGGBB
 *   vantor_x11 bright WINDOW X Y W H
 *                                prints how many pixels of that rectangle are
 *                                near white (every channel 0xC0 or more)
 *   vantor_x11 diff WINDOW FILE  prints the mean difference per channel, in
 *                                levels, between the window and a PNG of the
 *                                same size over the picture between the
 *                                letterbox bars (rows 80 to 519) */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <png.h>

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

static int print_difference(Display* display, Window window, const char* file) {
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, file)) return 1;
    png.format = PNG_FORMAT_RGB;
    unsigned char* pixels = malloc(PNG_IMAGE_SIZE(png));
    if (!pixels || !png_image_finish_read(&png, NULL, pixels, 0, NULL)) {
        free(pixels);
        return 1;
    }
    int w = (int)png.width, h = (int)png.height;
    XImage* image = h >= 520 ? XGetImage(display, window, 0, 80, (unsigned)w, 440, AllPlanes, ZPixmap) : NULL;
    if (!image) {
        free(pixels);
        return 1;
    }
    double sum = 0;
    for (int j = 0; j < 440; ++j)
        for (int i = 0; i < w; ++i) {
            unsigned long p = XGetPixel(image, i, j);
            int rgb[3] = {(int)((p & image->red_mask) >> 16), (int)((p & image->green_mask) >> 8), (int)(p & image->blue_mask)};
            const unsigned char* q = pixels + ((size_t)(j + 80) * (size_t)w + (size_t)i) * 3;
            for (int c = 0; c < 3; ++c) sum += abs(rgb[c] - q[c]);
        }
    printf("%.1f\n", sum / (440.0 * w * 3));
    XDestroyImage(image);
    free(pixels);
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
    int is_diff = argc == 4 && strcmp(argv[1], "diff") == 0;
    if (!is_close && !is_pixel && !is_bright && !is_diff) {
        fprintf(stderr, "usage: %s close WINDOW | pixel WINDOW X Y | bright WINDOW X Y W H | diff WINDOW FILE\n",
                argv[0]);
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
    else if (is_diff) status = print_difference(display, window, argv[3]);
    else status = count_bright(display, window, atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), atoi(argv[6]));
    XCloseDisplay(display);
    return status;
}
