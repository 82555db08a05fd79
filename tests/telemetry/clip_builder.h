#pragma once
// Test clips built from the documented layouts: boxes, Novatek GPS blocks in MP4 files and
// Novatek records in MPEG-TS packets.

#include <QByteArray>
#include <QList>

#include <cstring>

inline QByteArray U32be(quint32 v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}
inline QByteArray U64be(quint64 v) {
    return U32be(quint32(v >> 32)) + U32be(quint32(v));
}
inline QByteArray U32le(qint64 v) {
    const auto u = quint32(v);
    const char b[4] = {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
    return QByteArray(b, 4);
}
inline QByteArray F32le(float f) {
    quint32 u;
    std::memcpy(&u, &f, 4);
    return U32le(u);
}
inline QByteArray Atom(const char* type, const QByteArray& payload) {
    return U32be(quint32(8 + payload.size())) + type + payload;
}

// One second of a Novatek record; axes in 1/256 g.
struct GpsRecord {
    int hour = 7, minute = 8, second = 9, year = 24, month = 5, day = 6;
    char status = 'A', ns = 'N', ew = 'E';
    float lat = 4807.5f, lon = 1131.25f, knots = 10.0f, course = 84.5f;
    int ax = 0, ay = 0, az = 0;
};

// The record from its hour field on; axes only when asked for.
inline QByteArray RecordBytes(const GpsRecord& r, bool axes) {
    QByteArray b = U32le(r.hour) + U32le(r.minute) + U32le(r.second) + U32le(r.year) +
                   U32le(r.month) + U32le(r.day) + r.status + r.ns + r.ew + '\0' + F32le(r.lat) +
                   F32le(r.lon) + F32le(r.knots) + F32le(r.course);
    if (axes)
        b += U32le(r.ax) + U32le(r.ay) + U32le(r.az);
    return b;
}

enum class Layout { kOlder, kNewer };

// A block: size word, "freeGPS ", a length word that does not tell the layout, the record.
inline QByteArray Block(Layout layout, const GpsRecord& r, int size = 0x100) {
    const bool newer = layout == Layout::kNewer;
    QByteArray b = U32be(quint32(size)) + "freeGPS " + U32le(newer ? 0x4c : 0x3f0);
    b += QByteArray(newer ? 0 : 0x20, '\0') + RecordBytes(r, newer);
    return b + QByteArray(size - b.size(), '\0');
}

struct Mp4Options {
    bool moov = true;
    bool index = true;
    bool wrap = false;         // each block inside an outer `skip` box
    int movie_seconds = -1;    // default: one per block
    quint32 first_offset = 0;  // replaces the index's first offset when set
    int filler = 40;           // bytes of "video" before each block
};

// ftyp, an mdat of blocks between bits of "video", then the moov with mvhd and the index.
inline QByteArray Mp4(const QList<QByteArray>& blocks, const Mp4Options& o = {}) {
    QByteArray file = Atom("ftyp", QByteArray("isom") + U32be(0) + "isom");
    QByteArray media;
    QByteArray pairs;
    for (const QByteArray& block : blocks) {
        media += QByteArray(o.filler, '\xee');
        const QByteArray stored = o.wrap ? Atom("skip", block) : block;
        pairs += U32be(quint32(file.size() + 8 + media.size())) + U32be(quint32(stored.size()));
        media += stored;
    }
    file += Atom("mdat", media);
    if (o.first_offset != 0 && !pairs.isEmpty())
        pairs.replace(0, 4, U32be(o.first_offset));
    if (!o.moov)
        return file;
    const int seconds = o.movie_seconds >= 0 ? o.movie_seconds : int(blocks.size());
    QByteArray moov = Atom("mvhd", U32be(0) + U32be(0) + U32be(0) + U32be(1000) +
                                       U32be(quint32(seconds) * 1000) + QByteArray(80, '\0'));
    if (o.index)
        moov += Atom("gps ", U32be(0x101) + U32be(quint32(blocks.size())) + pairs);
    return file + Atom("moov", moov);
}

// A 188-byte transport packet holding payload (at most 184 bytes), padded by an adaptation
// field.
inline QByteArray TsPacket(int pid, bool start, const QByteArray& payload) {
    QByteArray p;
    p += char(0x47);
    p += char((start ? 0x40 : 0) | (pid >> 8));
    p += char(pid & 0xff);
    const int stuffing = 184 - int(payload.size());
    if (stuffing == 0)
        return p + char(0x10) + payload;
    p += char(0x30);
    p += char(stuffing - 1);
    if (stuffing > 1)
        p += char(0) + QByteArray(stuffing - 2, '\xff');
    return p + payload;
}

// PAT naming the PMT on 0x1000; the PMT lists one H.264 stream on 0x100.
inline QByteArray TsTables() {
    const QByteArray pat =
        QByteArray("\x00\x00\xb0\x0d\x00\x01\xc1\x00\x00\x00\x01\xf0\x00", 13) + U32be(0);
    const QByteArray pmt =
        QByteArray("\x00\x02\xb0\x12\x00\x01\xc1\x00\x00\xe1\x00\xf0\x00\x1b\xe1\x00\xf0\x00", 18) +
        U32be(0);
    return TsPacket(0, true, pat) + TsPacket(0x1000, true, pmt);
}

// A private-stream PES (no optional header) holding bytes.
inline QByteArray Pes(const QByteArray& bytes) {
    return QByteArray("\x00\x00\x01\xbf", 4) + char(bytes.size() >> 8) + char(bytes.size()) + bytes;
}
