#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

#include "evidence/still_caption.h"
#include "numbered_clip.h"
#include "tests/support/tool_run.h"
#include "track/track.h"

class TestVantrailStill : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString Path(const QString& name) const { return tmp_->filePath(name); }

    // The tool runs from a folder of its own, so that a file it left beside itself shows.
    ToolRun Still(QStringList args) {
        for (QString& arg : args) {
            arg.replace("CLIPS/", Path("clips/"));
            arg.replace("OUT", Path("still.png"));
        }
        return RunTool(Path("bin/vantrail-still"), args, tmp_->path());
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(tmp_->path()).mkpath("bin") && QDir(tmp_->path()).mkpath("clips"));
        QVERIFY(QFile::copy(VANTRAIL_STILL_TOOL, Path("bin/vantrail-still")));
        // The MOV has its log beside it under its name; the stream has none.
        QVERIFY(QFile::copy(kNumberedClips + "numbered.MOV", Path("clips/numbered.MOV")));
        QVERIFY(QFile::copy(kNumberedClips + "numbered.ts", Path("clips/alone.ts")));
        QVERIFY(
            QFile::copy(VANTRAIL_SOURCE_DIR "/samples/REC0001.nmea", Path("clips/numbered.nmea")));
        QVERIFY(QFile::copy(VANTRAIL_SOURCE_DIR "/samples/REC0002.nmea", Path("clips/drive.nmea")));
    }
    void cleanup() { tmp_.reset(); }

    // The frame of that moment, and below it the caption of the log's whole second.
    void still_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("frame");
        const auto row = [](const char* name, const QString& args, qint64 ms, const QString& log,
                            int second, int frame) {
            QTest::newRow(name) << args.split(' ') << ms << log << second << frame;
        };
        row("paired log, fraction of a second", "CLIPS/numbered.MOV --at 2.9 --out OUT", 2900,
            "clips/numbered.nmea", 2, 72);
        row("log given, options first", "--log CLIPS/drive.nmea --out=OUT --at=1.5 CLIPS/alone.ts",
            1500, "clips/drive.nmea", 1, 37);
        row("clip without a log", "CLIPS/alone.ts --at 0.53 --out OUT", 530, {}, -1, 13);
    }
    void still() {
        QFETCH(QStringList, args);
        QFETCH(qint64, ms);
        QFETCH(QString, log);
        QFETCH(int, second);
        // Nothing but the picture, also without a runtime folder for the toolkit to find.
        qunsetenv("XDG_RUNTIME_DIR");
        const ToolRun run = Still(args);
        QVERIFY2(run.status == 0 && run.err.isEmpty(), run.err.constData());
        QVERIFY(!QFile::exists(Path("bin/out_nmea.txt")));

        const QImage still(Path("still.png"));
        const QImage top = still.copy(0, 0, kNumberedWidth, kNumberedHeight);
        QTEST(FrameNumber(top), "frame");
        const QString clip = QFileInfo(args.filter("CLIPS/").back()).fileName();
        StillCaption caption{clip, ms, std::nullopt};
        if (!log.isEmpty()) {
            const std::unique_ptr<TrackEntry, decltype(&FreeTrack)> track(
                LoadTrack(Path(log).toStdString(), ""), FreeTrack);
            const TrackEntry* entry = FindSample(track.get(), second);
            QVERIFY(entry != nullptr);
            caption.sample = entry->sample;
        }
        QCOMPARE(still.convertToFormat(QImage::Format_RGB32), DrawStillCaption(top, caption));
    }

    // Nothing is written when the tool fails (1 for a clip it cannot show, 2 for a wrong call)
    // nor when it only answers.
    void noStill_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const QString& args, int status,
                            const QString& text = {}) {
            QTest::newRow(name) << args.split(' ', Qt::SkipEmptyParts) << status << text;
        };
        row("at the end", "CLIPS/numbered.MOV --at 3 --out OUT", 1);
        row("log given is a folder", "CLIPS/numbered.MOV --at 0 --out OUT --log clips", 1,
            "cannot read clips: a folder, not a file\n");
        row("no --at", "CLIPS/numbered.MOV --out OUT", 2);
        row("--at negative", "CLIPS/numbered.MOV --at -1 --out OUT", 2,
            "--at wants seconds from the clip's start, 0 or more\n");
    }
    void noStill() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        const ToolRun run = Still(args);
        QVERIFY2(EndedAs(run, "vantrail-still", status, text.toUtf8()), run.err.constData());
        QVERIFY(!QFile::exists(Path("still.png")));
    }
};

QTEST_MAIN(TestVantrailStill)
#include "test_vantrail_still.moc"
