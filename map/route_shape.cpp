#include "map/route_shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {
// The deepest zoom of the map page (MAX_ZOOM of zavomap.js), and how far from the drawn line a
// left-out point may lie there, in pixels: too little to see at any zoom, so a route keeps every
// turn of the streets.
constexpr int kDeepestZoom = 19;
constexpr double kTolerancePixels = 0.25;
// Stretches simplified one by one: whatever the shape, the work stays near linear in a day's
// points.
constexpr size_t kStretchPoints = 4096;

struct Pixel {
    double x;
    double y;
};

// Where the page's map (spherical Mercator) puts a position, in pixels at the deepest zoom.
Pixel ToPixel(const std::array<double, 2>& position) {
    constexpr double kWorld = 256.0 * (1 << kDeepestZoom);
    constexpr double kMaxLatitude = 85.0511287798;
    const double lat =
        std::clamp(position[0], -kMaxLatitude, kMaxLatitude) * std::numbers::pi / 180;
    return {(position[1] + 180) / 360 * kWorld,
            (1 - std::asinh(std::tan(lat)) / std::numbers::pi) / 2 * kWorld};
}

// To the segment, not to its line: the far end of a street driven out and back lies on the line.
double SquaredDistance(Pixel p, Pixel a, Pixel b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    const double t =
        length > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0) : 0.0;
    const double ex = p.x - (a.x + t * dx);
    const double ey = p.y - (a.y + t * dy);
    return ex * ex + ey * ey;
}
}  // namespace

// Douglas-Peucker, with a stack of stretches in place of recursion (a day of points would go
// deep).
MapRoute SimplifyRoute(const MapRoute& route) {
    const size_t n = route.size();
    if (n <= 2)
        return route;
    std::vector<Pixel> at(n);
    std::transform(route.begin(), route.end(), at.begin(), ToPixel);
    std::vector<bool> keep(n, false);
    std::vector<std::pair<size_t, size_t>> stretches;
    keep[0] = true;
    for (size_t first = 0; first + 1 < n; first += kStretchPoints) {
        const size_t last = std::min(first + kStretchPoints, n - 1);
        keep[last] = true;
        stretches.emplace_back(first, last);
    }
    constexpr double kToleranceSquared = kTolerancePixels * kTolerancePixels;
    while (!stretches.empty()) {
        const auto [first, last] = stretches.back();
        stretches.pop_back();
        double farthest = kToleranceSquared;
        size_t split = first;
        for (size_t i = first + 1; i < last; ++i) {
            const double d = SquaredDistance(at[i], at[first], at[last]);
            if (d > farthest) {
                farthest = d;
                split = i;
            }
        }
        if (split != first) {
            keep[split] = true;
            stretches.emplace_back(first, split);
            stretches.emplace_back(split, last);
        }
    }
    MapRoute kept;
    for (size_t i = 0; i < n; ++i) {
        if (keep[i])
            kept.push_back(route[i]);
    }
    return kept;
}
