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
#include "skin/dialog_template.h"
#include "vantrail_version.h"

namespace {
const QString kSamples = QStringLiteral(VANTRAIL_SOURCE_DIR "/samples");

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the player's executable to its end while this process's event loop keeps going.
Run RunPlayer(const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VANTRAIL_EXE), args);
    const bool finished =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000);
    if (!finished)
        process.kill();
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QStringList Rows(CControlForm* form) {
    QStringList names;
    auto* list = form->findChild<QTreeWidget*>();
    for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i)
        names << list->topLevelItem(i)->text(0);
    return names;
}

bool Playing(CControlForm* form, const QString& path) {
    return form->Session().State() == PlaybackState::Playing && form->Session().Track() != nullptr &&
           form->Recordings().GetSelFilePath() == path.toStdString();
}
}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;

    // The player as a later start sees it: no display, the socket folder of this test.
    QProcessEnvironment PlayerEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("XDG_RUNTIME_DIR", tmp_.path());
        return env;
    }

private slots:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
        QDir dir(tmp_.path());
        QVERIFY(dir.mkpath("cam/sub") && dir.mkpath("cam/empty"));
        for (const char* name : {"a.MOV", "b.nmea", "c.ts", "clip.Mov", "notes.txt", "sub/R1.nmea",
                                 "sub/R1.MOV", "sub/readme", "empty/x.mp4"}) {
            QFile file(dir.filePath(QStringLiteral("cam/") + name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    // Answered without a display: the toolkit is not started for them.
    void answersWithoutAWindow_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vantrail [OPTION]..."
                              << "";
        QTest::newRow("short help after a path")
            << QStringList{"a.MOV", "-h"} << 0 << "Usage: vantrail [OPTION]..."
            << "";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QString("vantrail %1\n").arg(kVantrailVersion) << "";
        QTest::newRow("unknown option")
            << QStringList{"--play", "a.MOV"} << 2 << ""
            << "vantrail: unknown option '--play'\nTry 'vantrail --help' for more information.\n";
    }
    void answersWithoutAWindow() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment env = PlayerEnvironment();
        env.remove("QT_QPA_PLATFORM");
        const Run run = RunPlayer(args, env);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out.toUtf8()),
                 run.out.constData());
        QCOMPARE(QString::fromUtf8(run.err), err);
    }

    // The one version of the project shows in the about box and the form's version line.
    void versionReachesTheDialogs_data() {
        QTest::addColumn<int>("dialog");
        QTest::addColumn<int>("control");  // index among the controls
        QTest::addColumn<QString>("text");
        QTest::newRow("about box")
            << 100 << 1 << QString("Vantrail, Version %1").arg(kVantrailVersion);
        QTest::newRow("control form") << 132 << -1 << QString("Vantrail %1").arg(kVantrailVersion);
    }
    void versionReachesTheDialogs() {
        QFETCH(int, dialog);
        QFETCH(int, control);
        QFETCH(QString, text);
        const auto tmpl = LoadDialogTemplate(dialog);
        QVERIFY(tmpl.has_value());
        const ControlTemplate* c = control >= 0 ? &tmpl->controls.at(control) : tmpl->Control(1083);
        QVERIFY(c != nullptr);
        QCOMPARE(c->text, text);
    }

    void collectRecordings_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("recordings");
        QTest::addColumn<QStringList>("skipped");
        QTest::newRow("files in the order given")
            << QStringList{"cam/c.ts", "cam/a.MOV", "cam/b.nmea"}
            << QStringList{"cam/c.ts", "cam/a.MOV", "cam/b.nmea"} << QStringList{};
        QTest::newRow("folder: its clips and logs by name")
            << QStringList{"cam/sub/"} << QStringList{"cam/sub/R1.MOV", "cam/sub/R1.nmea"}
            << QStringList{};
        QTest::newRow("missing path skipped, the rest kept")
            << QStringList{"cam/nope.MOV", "cam/a.MOV"} << QStringList{"cam/a.MOV"}
            << QStringList{"cam/nope.MOV: no such file or folder"};
        QTest::newRow("not clips or logs, as a drop")
            << QStringList{"cam/notes.txt", "cam/clip.Mov"} << QStringList{}
            << QStringList{"cam/notes.txt: not a clip or log (.mov, .ts, .nmea)",
                           "cam/clip.Mov: not a clip or log (.mov, .ts, .nmea)"};
        QTest::newRow("folder without clips or logs")
            << QStringList{"cam/empty"} << QStringList{}
            << QStringList{"cam/empty: no clips or logs in this folder"};
    }
    void collectRecordings() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, recordings);
        QFETCH(QStringList, skipped);
        // Relative to the folder the player was started in; handed on as absolute paths.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp_.path()));
        QStringList lines;
        const QStringList found = CollectRecordings(args, &lines);
        QDir::setCurrent(before);
        for (QString& r : recordings) r = tmp_.filePath(r);
        QCOMPARE(found, recordings);
        QCOMPARE(lines, skipped);
    }

    void handOverFailsWhenTheInstanceDoesNotTakeThePaths() {
        QLocalServer mute;
        QVERIFY(mute.listen(InstanceServerName()));
        connect(&mute, &QLocalServer::newConnection, &mute, [&] {
            while (QLocalSocket* s = mute.nextPendingConnection()) s->abort();
        });
        const Run run = RunPlayer({kSamples + "/REC0001.MOV"}, PlayerEnvironment());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith("vantrail: another instance is running: "), run.err);
        QCOMPARE(run.err.count('\n'), 1);
    }

    // The first start opens its files and plays the first; a later start hands its files to
    // it and ends; the running player refills its list with them and plays the first.
    void laterStartsHandTheirFilesToTheRunningPlayer() {
        SetConnectionProbe([] { return false; });
        QStringList firstRows, laterRows;
        bool firstPlayed = false, laterPlayed = false;
        Run later;
        QTimer::singleShot(0, this, [&] {
            CVantrailDlg* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<CVantrailDlg*>(w))
                    dialog = d;
            if (dialog == nullptr)
                return;
            CControlForm* form = dialog->ControlForm();
            firstPlayed =
                QTest::qWaitFor([&] { return Playing(form, kSamples + "/REC0002.ts"); }, 60000);
            firstRows = Rows(form);
            later = RunPlayer(
                {kSamples + "/REC0003.nmea", "/no/such/REC9.MOV", kSamples + "/REC0001.MOV"},
                PlayerEnvironment());
            laterPlayed =
                QTest::qWaitFor([&] { return Playing(form, kSamples + "/REC0003.nmea"); }, 30000);
            laterRows = Rows(form);
            dialog->reject();
        });
        QCOMPARE(RunVantrail(*qApp, {kSamples + "/REC0002.ts", kSamples + "/REC0002.nmea"}), 0);
        SetConnectionProbe({});
        SetMessageHandler({});

        QVERIFY(firstPlayed);
        QCOMPARE(firstRows, (QStringList{"REC0002.ts", "REC0002.nmea"}));
        QCOMPARE(later.exitCode, 0);
        QCOMPARE(later.err, QByteArray("vantrail: /no/such/REC9.MOV: no such file or folder\n"));
        QVERIFY(laterPlayed);
        QCOMPARE(laterRows, (QStringList{"REC0003.nmea", "REC0001.MOV"}));
        // The listening socket goes with the player.
        QLocalSocket probe;
        probe.connectToServer(InstanceServerName());
        QVERIFY(!probe.waitForConnected(1000));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
