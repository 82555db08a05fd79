#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "playback/control_form.h"
#include "skin/dialog_template.h"
#include "tests/support/play_rows.h"
#include "trip/events_panel.h"
#include "trip/evidence_still.h"
#include "trip/log_export.h"
#include "trip/trip_tools.h"

namespace {
// CameraLog with a hard 0.6 g jolt sideways at each second of jolts.
QByteArray JoltedLog(int seconds, const QList<int>& jolts) {
    QList<QByteArray> groups = CameraLog(seconds).split('\n');
    for (int s : jolts) groups[s * 3 + 2].replace("$GSENSOR,10,", "$GSENSOR,600,");
    return groups.join('\n');
}
}  // namespace

class TestTrip : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<CControlForm> form_;
    CTripTools* tools_ = nullptr;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        fx_ = std::make_unique<TestFixture>();
        form_ = std::make_unique<CControlForm>();
        tools_ = new CTripTools(*form_, form_.get());
        form_->resize(772, 1000);
        form_->show();
    }
    void cleanup() {
        form_.reset();
        fx_.reset();
        SetSaveFileDialog({});
    }

    void choosingAnEventSeeksBeforeIt_data() {
        QTest::addColumn<int>("jolt");
        QTest::addColumn<int>("presses");
        QTest::addColumn<int>("second");
        QTest::addColumn<PlaybackState>("state");
        QTest::newRow("playing") << 10 << 1 << 7 << PlaybackState::Playing;
        QTest::newRow("paused, near the start") << 1 << 2 << 0 << PlaybackState::Paused;
    }
    void choosingAnEventSeeksBeforeIt() {
        QFETCH(int, jolt);
        QFETCH(int, presses);
        fx_->Write("a.nmea", JoltedLog(20, {jolt}));
        PlayFirstRow(*form_, *fx_, {"a.nmea"});
        for (int i = 1; i < presses; ++i) form_->Session().PlayPause();
        auto* events = form_->findChild<CEventsPanel*>();
        QCOMPARE(events->topLevelItemCount(), 1);
        QTest::mouseClick(events->viewport(), Qt::LeftButton, {},
                          events->visualItemRect(events->topLevelItem(0)).center());
        QTEST(form_->Session().CurrentSecond(), "second");
        QTEST(form_->Session().State(), "state");
    }

    // Item 0 saves a still, 1 to 3 export the log. `to` is the save dialog's answer; when empty,
    // the clip plays instead of its log. '@' in `message` is the folder.
    void menuActsOnWhatPlays_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("still of a clip")
            << 0 << QString() << "Still saved to " + StillFolder() + "/a_00-00-0";
        QTest::newRow("still of a log")
            << 0 << "-" << QString("No picture to save: the selected row is not a clip.");
        QTest::newRow("gpx") << 1 + int(LogFormat::Gpx) << "out.gpx" << QString();
        QTest::newRow("missing folder")
            << 1 << "no/out.gpx" << QString("Cannot write @/no/out.gpx: No such file or directory");
    }
    void menuActsOnWhatPlays() {
        QFETCH(int, item);
        QFETCH(QString, to);
        QFETCH(QString, message);
        fx_->CopySample("REC0001.MOV", "a.MOV");
        const QString log = fx_->CopySample("REC0001.nmea", "a.nmea");
        QMenu before;
        tools_->AddMenuItems(before);
        QVERIFY(item == 0 || !before.actions().at(item)->isEnabled());  // nothing loaded yet
        PlayFirstRow(*form_, *fx_, {to.isEmpty() ? "a.MOV" : "a.nmea"});
        QString suggested;
        SetSaveFileDialog([&](QWidget*, const QString&, const QString& name, const QString&) {
            suggested = name;
            return fx_->Path(to);
        });
        QMenu menu;
        tools_->AddMenuItems(menu);
        menu.actions().at(item)->trigger();
        const QString ext = to.section('.', -1);
        QCOMPARE(suggested, item == 0 ? QString() : fx_->Path("a." + ext));
        QCOMPARE(fx_->messages.join('\n').left(message.size()), message.replace('@', fx_->Dir()));
        if (message.startsWith("Still")) {  // the clip's frame with the caption band below it
            const QString path = fx_->messages[0].mid(QString("Still saved to ").size());
            const QImage still(path);
            QVERIFY(QFile::remove(path) && still.width() == 640 && still.height() > 360);
        } else if (item > 0 && message.isEmpty()) {
            QProcess::execute(VANTRAIL_TRACK_TOOL, {log, "--" + ext, fx_->Path("tool")});
            QCOMPARE(fx_->Read(to), fx_->Read("tool"));
        }
    }

    void stillNamesNeverOverwrite_data() {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("name");
        const QString t1 = "REC0001_00-00-12.png", t2 = "REC0001_00-00-12-2.png";
        QTest::newRow("free, hours") << QStringList{} << 3'723'900 << "REC0001_01-02-03.png";
        QTest::newRow("taken") << QStringList{t1} << 12'900 << t2;
        QTest::newRow("twice taken") << QStringList{t1, t2} << 12'000 << "REC0001_00-00-12-3.png";
    }
    void stillNamesNeverOverwrite() {
        QFETCH(QStringList, taken);
        QFETCH(int, ms);
        QFETCH(QString, name);
        for (const QString& t : taken) fx_->Write(t, "kept");
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        QString error;
        QCOMPARE(SaveStillImage(image, fx_->Dir(), "/c/REC0001.MOV", ms, &error), fx_->Path(name));
        QCOMPARE(QImage(fx_->Path(name)).pixelColor(1, 1), QColor(Qt::red));
        for (const QString& t : taken) QCOMPARE(fx_->Read(t), QByteArray("kept"));
    }

    // A route keeps its shape at street level: the trip keeps each corner and the far end of a
    // dead end driven out and back, and leaves out the points in between, which lie on the
    // lines drawn.
    void routeKeepsItsCorners_data() {
        QTest::addColumn<int>("blocks");  // of a grid of streets, after the dead end
        QTest::newRow("dead end") << 0;
        QTest::newRow("a long drive through a grid") << 80;
    }
    void routeKeepsItsCorners() {
        QFETCH(int, blocks);
        const QPoint east(10, 0), north(0, 10);                  // 0.001 minute a second
        QList<QPair<QPoint, int>> legs{{east, 20}, {-east, 8}};  // direction, seconds
        for (int block = 0; block < blocks; ++block)
            legs += {{north, 8}, {east * (block % 2 ? 1 : -1), 37}};
        QList<QPoint> at{{300, 0}};  // in 0.0001 minute east and north of 25 03'N 121 30'E
        QList<QPoint> kept{at[0]};
        for (const auto& [step, seconds] : legs) {
            for (int i = 0; i < seconds; ++i) at.append(at.back() + step);
            kept.append(at.back());
        }
        QByteArray log;
        for (int i = 0; i < at.size(); ++i) {
            log += QString::asprintf(
                       "$GPGGA,%02d%02d%02d.00,2503.%04d,N,12130.%04d,E,1,08,0.9,"
                       "10.0,M,0,M,,*00\r\n$GSENSOR,10,-20,1000\r\n",
                       i / 3600, i / 60 % 60, i % 60, at[i].y(), at[i].x())
                       .toLatin1();
        }
        const TripLog trip = LoadTripLog(fx_->Write("route.nmea", log).toStdString());
        QList<QPoint> route;
        for (const auto& [lat, lon] : trip.route)
            route.append(
                QPoint(qRound(((lon - 121) * 60 - 30) * 1e4), qRound(((lat - 25) * 60 - 3) * 1e4)));
        QCOMPARE(route, kept);
    }

    // Rows of a clip and its log count once; the trip follows a log rewritten since.
    void tripSummaryOverTwoLogs() {
        fx_->Write("a.nmea", JoltedLog(3, {1}));
        fx_->Write("b.MOV", "");
        fx_->Write("b.nmea", JoltedLog(5, {1, 3}));
        PlayFirstRow(*form_, *fx_, {"a.nmea", "b.MOV", "b.nmea"});
        QTRY_VERIFY(tools_->TripSummaryText().startsWith("Trip: 2 logs"));
        QCOMPARE(tools_->TripSummaryText(),
                 "Trip: 2 logs\nentries: 8\nvalid fixes: 8\nduration: 0:00:08\n"
                 "distance: 0.011 km\nmax speed: 50.0 km/h\npeak acceleration: 1.166 g\n"
                 "harsh events: 3\nbump events: 0\n\nThis recording: a.nmea\n"
                 "entries: 3\nvalid fixes: 3\nduration: 0:00:03\ndistance: 0.004 km\n"
                 "max speed: 50.0 km/h\npeak acceleration: 1.166 g\nharsh events: 1\n"
                 "bump events: 0\n");

        fx_->Write("b.nmea", JoltedLog(2, {}));
        emit qobject_cast<QTreeWidget*>(GetDlgItem(form_.get(), 1155))
            ->itemDoubleClicked(nullptr, 0);
        QTRY_VERIFY(tools_->TripSummaryText().startsWith("Trip: 2 logs\nentries: 5\n"));
    }
};

QTEST_MAIN(TestTrip)
#include "test_trip.moc"
