// The map page of the player: the route as a polyline and the vehicle as a marker, driven by
// six functions that take text arguments; two more of its own mark driving events and draw
// the other routes of the trip. Tiles come from the URL given as ?tiles=...; without
// one, or where a tile cannot be fetched, a plain grid stays under the route.
'use strict';

(function () {
  var MIN_ZOOM = 1;
  var MAX_ZOOM = 19;
  var container = document.getElementById('map');
  var tileUrl = new URLSearchParams(window.location.search).get('tiles') || '';
  var pending = [];

  function number(text) {
    var value = parseFloat(text);
    return isFinite(value) ? value : null;
  }

  // A position from two texts; none for unreadable texts or the 0,0 of a sample without fix.
  function position(lat, lon) {
    var a = number(lat);
    var b = number(lon);
    if (a === null || b === null || Math.abs(a) > 90 || Math.abs(b) > 180 || (a === 0 && b === 0))
      return null;
    return [a, b];
  }

  if (typeof L === 'undefined') {
    container.className = 'no-library';
    container.textContent = 'The map library is missing.';
    ['AddPolyLinePoint', 'DrawPolyLine', 'Reload', 'MoveTo', 'RenewCursor', 'MapResize']
      .forEach(function (name) { window[name] = function () {}; });
    return;
  }

  var Grid = L.GridLayer.extend({
    createTile: function () {
      var size = this.getTileSize();
      var tile = document.createElement('canvas');
      tile.width = size.x;
      tile.height = size.y;
      var g = tile.getContext('2d');
      g.fillStyle = '#eef0f2';
      g.fillRect(0, 0, size.x, size.y);
      g.strokeStyle = '#d3d7dc';
      g.lineWidth = 1;
      g.beginPath();
      for (var i = 64; i < size.x; i += 64) {
        g.moveTo(i + 0.5, 0);
        g.lineTo(i + 0.5, size.y);
      }
      for (var j = 64; j < size.y; j += 64) {
        g.moveTo(0, j + 0.5);
        g.lineTo(size.x, j + 0.5);
      }
      g.stroke();
      g.strokeStyle = '#b4bac2';
      g.strokeRect(0.5, 0.5, size.x, size.y);
      return tile;
    }
  });

  // No links on the map: a click on one would take the view away from this page.
  var map = L.map(container, { minZoom: MIN_ZOOM, maxZoom: MAX_ZOOM, attributionControl: false });
  if (tileUrl !== '')
    L.control.attribution({ prefix: false }).addTo(map);
  map.setView([0, 0], 2);
  new Grid({ minZoom: MIN_ZOOM, maxZoom: MAX_ZOOM }).addTo(map);
  if (tileUrl !== '') {
    var tiles = L.tileLayer(tileUrl, {
      minZoom: MIN_ZOOM,
      maxZoom: MAX_ZOOM,
      attribution: /openstreetmap/i.test(tileUrl) ? '&copy; OpenStreetMap contributors' : ''
    });
    // A tile that cannot be fetched leaves the grid visible beneath it.
    tiles.on('tileerror', function (e) { e.tile.style.visibility = 'hidden'; });
    tiles.addTo(map);
  }
  L.control.scale({ imperial: false }).addTo(map);

  // The other routes of the trip lie beneath the recording's own route and its markers.
  map.createPane('trip').style.zIndex = 350;
  var trip = L.layerGroup().addTo(map);
  var events = L.layerGroup().addTo(map);
  var route = L.polyline([], { color: '#d62728', weight: 4, opacity: 0.85 }).addTo(map);
  var vehicle = L.marker([0, 0], { keyboard: false, title: 'Vehicle' });

  // Collects the points of the next route.
  window.AddPolyLinePoint = function (lat, lon) {
    var p = position(lat, lon);
    if (p)
      pending.push(p);
  };

  // Shows the collected points as the route, replacing the previous one.
  window.DrawPolyLine = function () {
    route.setLatLngs(pending);
    pending = [];
  };

  // Centres on the position at the zoom level given; without a position, fits the route.
  window.Reload = function (lat, lon, level) {
    var zoom = parseInt(level, 10);
    if (!isFinite(zoom))
      zoom = map.getZoom();
    zoom = Math.max(MIN_ZOOM, Math.min(MAX_ZOOM, zoom));
    var p = position(lat, lon);
    if (p)
      map.setView(p, zoom, { animate: false });
    else if (route.getLatLngs().length > 0)
      map.fitBounds(route.getBounds(), { maxZoom: zoom, animate: false });
  };

  // Keeps the vehicle's position in the centre.
  window.MoveTo = function (lat, lon) {
    var p = position(lat, lon);
    if (p)
      map.panTo(p, { animate: false });
  };

  // Puts the vehicle marker on the position.
  window.RenewCursor = function (lat, lon) {
    var p = position(lat, lon);
    if (!p)
      return;
    vehicle.setLatLng(p);
    if (!map.hasLayer(vehicle))
      vehicle.addTo(map);
  };

  // The page fills the view; a new size of the view is measured again, keeping the centre.
  window.MapResize = function (width, height) {
    if (number(width) > 0 && number(height) > 0)
      map.invalidateSize({ pan: false });
  };

  var EVENT_NAMES = { harsh: 'Harsh driving', bump: 'Bump' };

  // Text of an event's tooltip, such as "Harsh driving, 0.52 g" over "12:03:04 UTC, second 95".
  function eventText(e) {
    var box = document.createElement('div');
    var peak = number(e.peak);
    box.className = 'event-text';
    box.textContent = EVENT_NAMES[e.kind] + (peak === null ? '' : ', ' + peak.toFixed(2) + ' g') +
      '\n' + (e.utc ? e.utc + ' UTC, ' : '') + 'second ' + e.index;
    return box;
  }

  // Markers for the driving events of the recording, given as a JSON array of
  // {lat, lon, kind: "harsh"|"bump", peak, index, utc}; they replace the earlier ones.
  window.ShowEvents = function (json) {
    events.clearLayers();
    JSON.parse(json).forEach(function (e) {
      var p = position(e.lat, e.lon);
      if (!p || !EVENT_NAMES.hasOwnProperty(e.kind))
        return;
      var icon = L.divIcon({ className: 'event event-' + e.kind, html: '<span></span>',
                             iconSize: [16, 16] });
      L.marker(p, { icon: icon, keyboard: false }).bindTooltip(eventText(e)).addTo(events);
    });
  };

  // Every route of the trip (a JSON array of routes, each an array of [lat, lon]); the one
  // at the index current stands out, the others are thin and muted.
  window.ShowTripRoutes = function (json, current) {
    trip.clearLayers();
    var at = parseInt(current, 10);
    JSON.parse(json).forEach(function (points, i) {
      var line = points.map(function (q) { return position(q[0], q[1]); })
        .filter(function (q) { return q !== null; });
      var style = i === at ? { color: '#ff7f0e', weight: 7, opacity: 0.9 }
                           : { color: '#7a8594', weight: 3, opacity: 0.55 };
      style.pane = 'trip';
      style.interactive = false;
      L.polyline(line, style).addTo(trip);
    });
  };

  window.zavoMap = { map: map, route: route, vehicle: vehicle, events: events, trip: trip };
})();
