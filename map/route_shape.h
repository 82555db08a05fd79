#pragma once
// A route as the map page draws it, with no more points than the eye can tell apart.

#include <array>
#include <vector>

// A route as positions in decimal degrees, latitude first.
using MapRoute = std::vector<std::array<double, 2>>;

// The route less the points that lie within a quarter of a pixel of the line through the
// others at the map page's deepest zoom: the same line at every zoom, with every turn.
MapRoute SimplifyRoute(const MapRoute& route);
