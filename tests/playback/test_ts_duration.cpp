#include <QTest>

#include <cstdint>
#include <vector>

#include "playback/ts_duration.h"

namespace {

constexpr int64_t kWrap = int64_t{1} << 33;

// One 188-byte packet; with a time stamp it starts a PES packet, without one it continues.
void AppendPacket(std::vector<uint8_t>& out, int pid, int64_t pts = -1, uint8_t streamId = 0xE0,
                  bool adaptation = false) {
    const auto b = [](int64_t v) { return static_cast<uint8_t>(v); };
    const int64_t t = pts % kWrap;
    std::vector<uint8_t> p{0x47, b((pts >= 0 ? 0x40 : 0) | (pid >> 8)), b(pid),
                           b(adaptation ? 0x30 : 0x10)};
    if (adaptation)  // an adaptation field of 7 bytes, e.g. a PCR
        p.insert(p.end(), {7, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    if (pts >= 0)
        p.insert(p.end(),
                 {0, 0, 1, streamId, 0, 0, 0x80, 0x80, 5, b(0x21 | ((t >> 29) & 0x0E)), b(t >> 22),
                  b(((t >> 14) & 0xFE) | 1), b(t >> 7), b(((t << 1) & 0xFE) | 1)});
    p.resize(188, 0xFF);
    out.insert(out.end(), p.begin(), p.end());
}

}  // namespace

class TestTsDuration : public QObject {
    Q_OBJECT

private slots:
    // Video frames 100 ms apart, a shorter audio stream beside them, after `junk` bytes.
    void duration_data() {
        QTest::addColumn<qint64>("firstPts");
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("reordered");
        QTest::addColumn<QByteArray>("junk");
        QTest::addColumn<qint64>("ms");
        using L = qint64;
        const QByteArray none;
        QTest::newRow("10 fps, 3 s") << L(126000) << 30 << false << none << L(3000);
        QTest::newRow("across the 33-bit wrap")
            << L(kWrap - 45000) << 30 << false << none << L(3000);
        QTest::newRow("frames out of order") << L(126000) << 30 << true << none << L(3000);
        QTest::newRow("junk first") << L(126000) << 30 << false << QByteArray(77, 0x12) << L(3000);
        QTest::newRow("single frame") << L(900) << 1 << false << none << L(0);
        QTest::newRow("nothing") << L(0) << 0 << false << none << L(-1);
        QTest::newRow("sync bytes only") << L(0) << 0 << false << QByteArray(4000, 'G') << L(-1);
    }
    void duration() {
        QFETCH(qint64, firstPts);
        QFETCH(int, frames);
        QFETCH(bool, reordered);
        QFETCH(QByteArray, junk);
        QFETCH(qint64, ms);
        std::vector<uint8_t> data(junk.begin(), junk.end());
        for (int i = 0; i < frames; ++i) {
            // B-frame order: each pair of frames swapped.
            const int shown = reordered ? (i % 2 == 0 ? std::min(i + 1, frames - 1) : i - 1) : i;
            AppendPacket(data, 0x100, firstPts + int64_t{shown} * 9000, 0xE0, i % 3 == 0);
            AppendPacket(data, 0x100);
            if (i < frames / 2)
                AppendPacket(data, 0x101, firstPts + int64_t{i} * 9000, 0xC0);
        }
        QCOMPARE(TransportStreamDurationMs(data, {}), ms);
    }

    void headAndTailOrNoStamps() {
        std::vector<uint8_t> head;
        std::vector<uint8_t> tail;
        for (int i = 0; i < 10; ++i) AppendPacket(head, 0x44, 90000 + int64_t{i} * 3000);
        AppendPacket(tail, 0x44);
        for (int i = 0; i < 10; ++i) AppendPacket(tail, 0x44, 90000 + int64_t{590 + i} * 3000);
        QCOMPARE(TransportStreamDurationMs(head, tail), qint64(20000));
        std::vector<uint8_t> noStamps;
        for (int i = 0; i < 20; ++i) AppendPacket(noStamps, 0x100);
        QCOMPARE(TransportStreamDurationMs(noStamps, {}), qint64(-1));
        QCOMPARE(TransportStreamDurationMs(std::string("/nonexistent/REC9999.ts")), qint64(-1));
    }
};

QTEST_MAIN(TestTsDuration)
#include "test_ts_duration.moc"
