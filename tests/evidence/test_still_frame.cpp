#include <QTest>

#include "evidence/still_frame.h"
#include "numbered_clip.h"

class TestStillFrame : public QObject {
    Q_OBJECT

private slots:
    // 25 frames a second, a key frame each second, B-frames between: the frame on screen at
    // a time is the one that began at or before it.
    void frameAtTime_data() {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<int>("frame");
        for (const char* clip : {"numbered.MOV", "numbered.ts"}) {
            const auto row = [clip](const char* what, qint64 ms, int frame) {
                QTest::addRow("%s %s", clip, what) << QString(clip) << ms << frame;
            };
            row("start", 0, 0);
            row("inside a frame's time", 530, 13);
            row("last moment before a key frame", 999, 24);
            row("on a key frame", 1000, 25);
            row("B-frame after a key frame", 1990, 49);
            row("last moment of the clip", 2999, 74);
        }
    }
    void frameAtTime() {
        QFETCH(QString, clip);
        QFETCH(qint64, ms);
        QFETCH(int, frame);
        const StillFrame still = GrabStillFrame(kNumberedClips + clip, ms);
        QVERIFY2(!still.image.isNull(), qPrintable(still.error));
        QCOMPARE(still.image.size(), QSize(kNumberedWidth, kNumberedHeight));
        QCOMPARE(FrameNumber(still.image), frame);
    }

    void failures_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("why");
        QTest::newRow("at the end")
            << kNumberedClips + "numbered.MOV" << qint64(3000) << "past the end";
        QTest::newRow("past the end of a stream")
            << kNumberedClips + "numbered.ts" << qint64(3010) << "past the end";
        QTest::newRow("before the start")
            << kNumberedClips + "numbered.MOV" << qint64(-1) << "before the start";
        QTest::newRow("a log, not a clip")
            << QStringLiteral(VANTRAIL_SOURCE_DIR "/samples/REC0001.nmea") << qint64(0)
            << "cannot decode";
        QTest::newRow("no such file")
            << kNumberedClips + "missing.MOV" << qint64(0) << "cannot decode";
    }
    void failures() {
        QFETCH(QString, path);
        QFETCH(qint64, ms);
        QFETCH(QString, why);
        const StillFrame still = GrabStillFrame(path, ms);
        QVERIFY(still.image.isNull());
        QVERIFY2(still.error.contains(why) && still.error.contains(path), qPrintable(still.error));
        QVERIFY(!still.error.contains('\n'));
    }
};

QTEST_GUILESS_MAIN(TestStillFrame)
#include "test_still_frame.moc"
