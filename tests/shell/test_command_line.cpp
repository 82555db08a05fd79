#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/app_state.h"
#include "app/message.h"
#include "playback/control_form.h"
#include "shell/command_line.h"
#include "shell/instance_server.h"
#include "shell/main_dialog.h"
#include "shell/startup.h"
#include "tests/support/tool_run.h"

namespace {
const QString kSamples = QStringLiteral(VANTRAIL_SOURCE_DIR "/samples");

// Runs the player's executable to its end while this process's event loop keeps going.
ToolRun RunPlayer(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VANTRAIL_EXE), args);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 60000) ||
        p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QString ServerName() {
    QString why;
    return InstanceServerName(&why);
}

// The names in the form's list once it plays path; none if it never does.
QStringList RowsOncePlaying(CControlForm* form, const QString& path) {
    const auto playing = [&] {
        return form->Session().State() == PlaybackState::Playing &&
               form->Session().Track() != nullptr &&
               form->Recordings().GetSelFilePath() == path.toStdString();
    };
    QStringList names;
    auto* list = form->findChild<QTreeWidget*>();
    for (int i = 0;
         QTest::qWaitFor(playing, 60000) && list != nullptr && i < list->topLevelItemCount(); ++i)
        names << list->topLevelItem(i)->text(0);
    return names;
}
}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;

private slots:
    // Later starts see no display and the socket folder of this test.
    void initTestCase() {
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
        QDir dir(tmp_.path());
        QVERIFY(dir.mkpath("cam/sub") && dir.mkpath("cam/empty") && dir.mkpath("cam/day"));
        for (const char* name :
             {"a.MOV",       "b.nmea",      "c.ts",         "clip.Mov",     "notes.txt",
              "sub/R1.nmea", "sub/R1.MOV",  "sub/readme",   "empty/x.avi",  "day/r1.mov",
              "day/r1.nmea", "day/R2.TS",   "day/R2.nmea",  "day/R3.nmea",  "day/R4.MOV",
              "day/R5.MOV",  "day/R5.NMEA", "day/R6_F.MOV", "day/R6_R.MOV", "day/R6.nmea",
              "day/R7_R.MOV"})
            QVERIFY(QFile(dir.filePath(QStringLiteral("cam/") + name)).open(QIODevice::WriteOnly));
    }

    // Answered without a display: the toolkit is not started for them. A start that needs
    // a window and has none says so in one line.
    void answersWithoutAWindow_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArray>("display");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vantrail [OPTION]..."
                              << "" << QByteArray();
        QTest::newRow("unknown option")
            << QStringList{"--play", "a.MOV"} << 2 << ""
            << "vantrail: unknown option '--play'\nTry 'vantrail --help' for more information.\n"
            << QByteArray();
        QTest::newRow("no display") << QStringList{"a.MOV"} << 1 << ""
                                    << "vantrail: no display: DISPLAY is not set\n"
                                    << QByteArray();
        QTest::newRow("a display that does not answer")
            << QStringList{"a.MOV"} << 1 << ""
            << "vantrail: no display: cannot open the X display ':987'\n"
            << QByteArray(":987");
    }
    void answersWithoutAWindow() {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QByteArray, display);
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        qunsetenv("QT_QPA_PLATFORM");
        qputenv("DISPLAY", display);
        const ToolRun run = RunPlayer(args);
        qunsetenv("DISPLAY");
        qputenv("QT_QPA_PLATFORM", platform);
        QTEST(run.status, "exitCode");
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out.toUtf8()),
                 run.out.constData());
        QTEST(QString::fromUtf8(run.err), "err");
    }

    void collectRecordings_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("recordings");
        QTest::addColumn<QStringList>("skipped");
        QTest::newRow("files in the order given, a clip's log too")
            << QStringList{"cam/c.ts", "cam/sub/R1.nmea", "cam/sub/R1.MOV"}
            << QStringList{"cam/c.ts", "cam/sub/R1.nmea", "cam/sub/R1.MOV"} << QStringList{};
        // Each drive plays once: a log or rear clip that a clip of the folder plays with has no
        // row (R5's clip plays R5.nmea, not R5.NMEA; R6_F plays R6_R and R6.nmea; R7_R has no
        // front clip).
        QTest::newRow("folder: its clips and logs by name, one row a drive")
            << QStringList{"cam/day/", "cam/sub"}
            << QStringList{"cam/day/R2.TS",    "cam/day/R3.nmea", "cam/day/R4.MOV",
                           "cam/day/R5.MOV",   "cam/day/R5.NMEA", "cam/day/R6_F.MOV",
                           "cam/day/R7_R.MOV", "cam/day/r1.mov",  "cam/sub/R1.MOV"}
            << QStringList{};
        QTest::newRow("missing path skipped, the rest kept")
            << QStringList{"cam/nope.MOV", "cam/a.MOV"} << QStringList{"cam/a.MOV"}
            << QStringList{"cam/nope.MOV: no such file or folder"};
        QTest::newRow("not clips or logs, as a drop")
            << QStringList{"cam/notes.txt", "cam/clip.Mov"} << QStringList{}
            << QStringList{"cam/notes.txt: not a clip or log (.mov, .mp4, .ts, .nmea, .gps)",
                           "cam/clip.Mov: not a clip or log (.mov, .mp4, .ts, .nmea, .gps)"};
        QTest::newRow("folder without clips or logs")
            << QStringList{"cam/empty"} << QStringList{}
            << QStringList{"cam/empty: no clips or logs in this folder"};
    }
    void collectRecordings() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, recordings);
        // Relative to the folder the player was started in; handed on as absolute paths.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp_.path()));
        QStringList lines;
        const QStringList found = CollectRecordings(args, &lines);
        QDir::setCurrent(before);
        for (QString& r : recordings) r = tmp_.filePath(r);
        QCOMPARE(found, recordings);
        QTEST(lines, "skipped");
    }

    void handOverFailsWhenTheInstanceDoesNotTakeThePaths() {
        QLocalServer mute;
        QVERIFY(mute.listen(ServerName()));
        connect(&mute, &QLocalServer::newConnection, &mute, [&] {
            while (QLocalSocket* s = mute.nextPendingConnection()) s->abort();
        });
        const ToolRun run = RunPlayer({kSamples + "/REC0001.MOV"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith("vantrail: another instance is running: "), run.err);
        QCOMPARE(run.err.count('\n'), 1);
    }

    // The first start opens its files and plays the first; a later start hands its files to
    // it and ends; the running player refills its list with them and plays the first.
    void laterStartsHandTheirFilesToTheRunningPlayer() {
        SetConnectionProbe([] { return false; });
        QStringList firstRows, laterRows;
        ToolRun later;
        QTimer::singleShot(0, this, [&] {
            CVantrailDlg* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                dialog = dialog ? dialog : qobject_cast<CVantrailDlg*>(w);
            if (dialog == nullptr)
                return;
            CControlForm* form = dialog->ControlForm();
            firstRows = RowsOncePlaying(form, kSamples + "/REC0002.ts");
            later = RunPlayer(
                {kSamples + "/REC0003.nmea", "/no/such/REC9.MOV", kSamples + "/REC0001.MOV"});
            laterRows = RowsOncePlaying(form, kSamples + "/REC0003.nmea");
            dialog->reject();
        });
        QCOMPARE(RunVantrail(*qApp, {kSamples + "/REC0002.ts", kSamples + "/REC0002.nmea"}), 0);
        SetConnectionProbe({});
        SetMessageHandler({});

        QCOMPARE(firstRows, (QStringList{"REC0002.ts", "REC0002.nmea"}));
        QCOMPARE(later.status, 0);
        QCOMPARE(later.err, QByteArray("vantrail: /no/such/REC9.MOV: no such file or folder\n"));
        QCOMPARE(laterRows, (QStringList{"REC0003.nmea", "REC0001.MOV"}));
        // The listening socket goes with the player.
        QLocalSocket probe;
        probe.connectToServer(ServerName());
        QVERIFY(!probe.waitForConnected(1000));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
