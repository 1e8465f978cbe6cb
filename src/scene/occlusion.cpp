#include "scene/occlusion.h"

#include <cmath>

namespace {

// How far inside the quad's image, in normalised device units, the box's
// image must stay: 1.3 pixels of a 256-pixel target, far more than the
// rasteriser's snapping and our rounding can move an edge.
constexpr double kMargin = 0.01;

// A point in clip space; the screen's points use x and y only. Doubles keep
// the images of points near the eye's plane, far off screen, exact enough.
struct Point {
    double x = 0, y = 0, z = 0, w = 1;
};

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }
Point operator*(double s, Point a) { return {s * a.x, s * a.y, s * a.z, s * a.w}; }

// A convex polygon: a quad clipped by up to four lines or planes keeps at
// most eight corners. Anything past ten, from rounding, marks it spoilt.
struct Polygon {
    Point p[10];
    int n = 0;
    bool spoilt = false;
};

void polygon_add(Polygon* poly, Point p) {
    if (poly->n < 10) poly->p[poly->n++] = p;
    else poly->spoilt = true;
}

// Keeps the part of the polygon where side(p) >= 0, side being linear.
template <typename Side> Polygon clip(const Polygon& in, Side side) {
    Polygon out;
    out.spoilt = in.spoilt;
    for (int i = 0; i < in.n; ++i) {
        const Point a = in.p[i], b = in.p[(i + 1) % in.n];
        const double sa = side(a), sb = side(b);
        if (sa >= 0) polygon_add(&out, a);
        if ((sa >= 0) != (sb >= 0)) polygon_add(&out, a + (sa / (sa - sb)) * (b - a));
    }
    return out;
}

Point transform(const Matrix& m, Point v) {
    const float* a = m.m;
    return {a[0] * v.x + a[4] * v.y + a[8] * v.z + a[12] * v.w, a[1] * v.x + a[5] * v.y + a[9] * v.z + a[13] * v.w,
            a[2] * v.x + a[6] * v.y + a[10] * v.z + a[14] * v.w, a[3] * v.x + a[7] * v.y + a[11] * v.z + a[15] * v.w};
}

double dot3(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point cross3(Point a, Point b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0}; }
double cross2(Point a, Point b, Point p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); }

// Clip space to the screen, normalised device units; only for points in
// front of the eye.
Point to_screen(Point c) { return {c.x / c.w, c.y / c.w, 0, 1}; }

// The quad's part that is drawn and in front of the eye, on screen. The near
// plane clips away what is closer; a ray to anything behind the quad meets
// the quad first, so only that part can hide it.
Polygon quad_image(const Matrix& projection, const Point eye_quad[4]) {
    Polygon poly;
    for (int i = 0; i < 4; ++i) polygon_add(&poly, transform(projection, eye_quad[i]));
    poly = clip(poly, [](Point p) { return p.z + p.w - 1e-6; });
    poly = clip(poly, [](Point p) { return p.w - 1e-6; });
    for (int i = 0; i < poly.n; ++i) poly.p[i] = to_screen(poly.p[i]);
    return poly;
}

// The polygon's part within the viewport, widened by the margin.
Polygon clip_to_viewport(Polygon poly) {
    const double edge = 1.0 + kMargin;
    poly = clip(poly, [edge](Point p) { return edge - p.x; });
    poly = clip(poly, [edge](Point p) { return p.x + edge; });
    poly = clip(poly, [edge](Point p) { return edge - p.y; });
    return clip(poly, [edge](Point p) { return p.y + edge; });
}

// Whether p lies in the convex, counter-clockwise polygon, the margin or more
// in from every edge.
bool well_inside(const Polygon& poly, Point p) {
    for (int i = 0; i < poly.n; ++i) {
        const Point a = poly.p[i], b = poly.p[(i + 1) % poly.n];
        if (!(cross2(a, b, p) >= kMargin * std::hypot(b.x - a.x, b.y - a.y))) return false;
    }
    return true;
}

} // namespace

bool occlusion_box_behind_quad(const Matrix& modelview, const Matrix& projection, const BoundingBox& box,
                               const Vec3 quad[4]) {
    if (!(box.min.x <= box.max.x && box.min.y <= box.max.y && box.min.z <= box.max.z)) return false;

    // In eye space the eye is the origin: it must lie on the quad's front
    // side and every corner of the box on the other.
    Point q[4];
    for (int i = 0; i < 4; ++i) q[i] = transform(modelview, {quad[i].x, quad[i].y, quad[i].z, 1});
    Point normal = cross3(q[1] - q[0], q[2] - q[0]);
    const double length = std::sqrt(dot3(normal, normal));
    if (!(length > 0)) return false;
    normal = (1.0 / length) * normal;
    const double eye_side = -dot3(normal, q[0]);
    if (!(eye_side > 1e-4)) return false;
    const double tolerance = 1e-4 * (1.0 + eye_side);

    Point flat[8];
    for (int i = 0; i < 8; ++i) {
        Point corner{(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y, (i & 4) ? box.max.z : box.min.z,
                     1};
        corner = transform(modelview, corner);
        if (!(dot3(normal, corner) + eye_side < -tolerance)) return false;
        const Point c = transform(projection, corner);
        if (!(c.w > 1e-6)) return false;
        flat[i] = to_screen(c);
    }

    // Counter-clockwise on screen when seen from the front, as the eye is;
    // a sliver of a quad, seen edge-on, hides nothing worth the risk.
    const Polygon image = quad_image(projection, q);
    if (image.spoilt || image.n < 3) return false;
    double area = 0;
    for (int i = 0; i < image.n; ++i) area += cross2({}, image.p[i], image.p[(i + 1) % image.n]);
    if (!(area > 1e-6)) return false;

    // The box's image is the union of its faces' images.
    static const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& face : faces) {
        Polygon poly;
        for (int corner : face) polygon_add(&poly, flat[corner]);
        poly = clip_to_viewport(poly);
        if (poly.spoilt) return false;
        for (int i = 0; i < poly.n; ++i)
            if (!well_inside(image, poly.p[i])) return false;
    }
    return true;
}
