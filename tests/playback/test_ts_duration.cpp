#include <QTest>

#include <cstdint>
#include <vector>

#include "playback/ts_duration.h"

namespace {

constexpr int64_t kWrap = int64_t{1} << 33;

// One 188-byte packet; with a time stamp it starts a PES packet, without one it continues.
void AppendPacket(std::vector<uint8_t>& out, int pid, int64_t pts = -1, uint8_t streamId = 0xE0,
                  bool adaptation = false) {
    std::vector<uint8_t> p(188, 0xFF);
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((pts >= 0 ? 0x40 : 0) | (pid >> 8));
    p[2] = static_cast<uint8_t>(pid & 0xFF);
    p[3] = adaptation ? 0x30 : 0x10;
    if (pts >= 0) {
        const size_t at = adaptation ? 12 : 4;
        if (adaptation) {
            p[4] = 7;  // adaptation field length, e.g. a PCR
            p[5] = 0x10;
        }
        const uint8_t header[] = {0x00, 0x00, 0x01, streamId, 0x00, 0x00, 0x80, 0x80, 0x05};
        std::copy(std::begin(header), std::end(header), p.begin() + at);
        pts %= kWrap;
        uint8_t* t = &p[at + 9];
        t[0] = static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E));
        t[1] = static_cast<uint8_t>(pts >> 22);
        t[2] = static_cast<uint8_t>(((pts >> 14) & 0xFE) | 1);
        t[3] = static_cast<uint8_t>(pts >> 7);
        t[4] = static_cast<uint8_t>(((pts << 1) & 0xFE) | 1);
    }
    out.insert(out.end(), p.begin(), p.end());
}

}  // namespace

class TestTsDuration : public QObject {
    Q_OBJECT

private slots:
    void duration_data() {
        QTest::addColumn<qint64>("firstPts");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("step");  // 90 kHz ticks per frame
        QTest::addColumn<bool>("reordered");
        QTest::addColumn<int>("junk");  // bytes before the first packet
        QTest::addColumn<qint64>("ms");
        QTest::newRow("10 fps, 3 s") << qint64(126000) << 30 << 9000 << false << 0 << qint64(3000);
        QTest::newRow("across the 33-bit wrap")
            << qint64(kWrap - 45000) << 30 << 9000 << false << 0 << qint64(3000);
        QTest::newRow("frames out of order")
            << qint64(126000) << 30 << 9000 << true << 0 << qint64(3000);
        QTest::newRow("garbage before the first packet")
            << qint64(126000) << 30 << 9000 << false << 77 << qint64(3000);
        QTest::newRow("single frame") << qint64(900) << 1 << 9000 << false << 0 << qint64(0);
    }

    void duration() {
        QFETCH(qint64, firstPts);
        QFETCH(int, frames);
        QFETCH(int, step);
        QFETCH(bool, reordered);
        QFETCH(int, junk);
        QFETCH(qint64, ms);
        std::vector<uint8_t> data(static_cast<size_t>(junk), 0x12);
        for (int i = 0; i < frames; ++i) {
            // B-frame order: each pair of frames swapped.
            const int shown = reordered ? (i % 2 == 0 ? std::min(i + 1, frames - 1) : i - 1) : i;
            AppendPacket(data, 0x100, firstPts + int64_t{shown} * step, 0xE0, i % 3 == 0);
            AppendPacket(data, 0x100);
            // A shorter audio stream beside it must not win.
            if (i < frames / 2)
                AppendPacket(data, 0x101, firstPts + int64_t{i} * step, 0xC0);
        }
        QCOMPARE(TransportStreamDurationMs(data, {}), ms);
    }

    void headAndTail() {
        std::vector<uint8_t> head;
        std::vector<uint8_t> tail;
        for (int i = 0; i < 10; ++i) AppendPacket(head, 0x44, 90000 + int64_t{i} * 3000);
        AppendPacket(tail, 0x44);
        for (int i = 0; i < 10; ++i) AppendPacket(tail, 0x44, 90000 + int64_t{590 + i} * 3000);
        QCOMPARE(TransportStreamDurationMs(head, tail), qint64(20000));
    }

    void notAStream() {
        std::vector<uint8_t> noStamps;
        for (int i = 0; i < 20; ++i) AppendPacket(noStamps, 0x100);
        for (const auto& data : {std::vector<uint8_t>{}, std::vector<uint8_t>(4000, 'G'), noStamps})
            QCOMPARE(TransportStreamDurationMs(data, {}), qint64(-1));
        QCOMPARE(TransportStreamDurationMs(std::string("/nonexistent/REC9999.ts")), qint64(-1));
    }
};

QTEST_MAIN(TestTsDuration)
#include "test_ts_duration.moc"
