#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "playback/playback_session.h"
#include "tests/support/fixture.h"

namespace {

// Every call the session makes on the parts it drives, in order, as "part:call".
QStringList calls;

class FakeList : public CRecordingSelection {
public:
    QString dir;
    QStringList rows;
    int mark = -1;
    std::string GetSelFilePath() const override {
        return mark < 0 ? std::string() : (dir + '/' + rows[mark]).toStdString();
    }
    int SelectNext() override { return Move(mark + 1 < rows.size() ? mark + 1 : 0); }
    int SelectPrevious() override { return Move(mark > 0 ? mark - 1 : rows.size() - 1); }
    int Move(int row) { return mark = rows.isEmpty() ? -1 : row; }
};

// The instruments, the map page and the transport controls. A map call names the second of
// CameraLog whose position it was given, "?" for a position off that route.
class FakeControls : public CInstrumentPanel, public CMapCalls, public CTransportControls {
public:
    bool loaded = true;
    bool pauseLook = false;
    int slider = 0;

    void SetSampleList(const TrackEntry* t) override { calls << (t ? "list" : "no list"); }
    void ShowSample(const TrackEntry* e) override {
        calls << (e ? QString("show %1").arg(e->index) : "show -");
    }
    bool PageLoaded() const override { return loaded; }
    void AddPolyLinePoint(double a, double o) override { Map("AddPolyLinePoint", a, o); }
    void DrawPolyLine() override { calls << "map:DrawPolyLine"; }
    void Reload(double a, double o, int level) override { Map("Reload", a, o, level); }
    void MoveTo(double a, double o) override { Map("MoveTo", a, o); }
    void RenewCursor(double a, double o) override { Map("RenewCursor", a, o); }
    void ResizeMap() override { calls << "map:ResizeMap"; }
    void SetPlayLook(bool pause) override { pauseLook = pause; }
    void RedrawPlayButton() override {}
    void MovePositionSlider(int pos, bool) override { slider = pos; }
    int VolumeLevel() const override { return 7; }

private:
    static void Map(const char* f, double a, double o, int level = 0) {
        const double second = ((a - 25) * 60 - 3) * 1000;
        const bool onRoute = o == 121.5 && std::abs(second - std::round(second)) < 1e-6;
        calls << QString("map:%1 %2").arg(f, onRoute ? QString::number(std::lround(second)) : "?") +
                     (level ? QString(" %1").arg(level) : QString());
    }
};

// Plays a clip of `duration` seconds by counting ticks.
class FakePlayer : public CClipPlayer {
public:
    explicit FakePlayer(CClipPlayerEvents& e) : events(e) {}
    CClipPlayerEvents& events;
    MediaState state = MediaState::Stopped;
    int32_t position = 0;
    int32_t duration = 20;
    bool disposed = false;

    int OpenMedia(const std::string&) override { return state = MediaState::Running, 1; }
    int TogglePause() override {
        return state = state == MediaState::Running ? MediaState::Paused : MediaState::Running, 1;
    }
    int StopMedia() override {
        state = MediaState::Stopped;
        position = 0;
        return 1;
    }
    void SeekToSecond(int32_t s) override { position = s; }
    int32_t SecondsAtPercent(int pos) const override { return pos * duration / 100; }
    int SetVolumeLevel(int) override { return 1; }
    TickResult TickPosition() override {
        return state != MediaState::Running ? TickResult::Idle
               : position >= duration       ? TickResult::ReachedEnd
                                            : (++position, TickResult::Counted);
    }
    bool ended = false;  // the backend has reported the clip's end
    int HandleGraphEvents() override { return std::exchange(ended, false) ? StopMedia() : 1; }
    MediaState GetMediaState() const override { return state; }
    void Dispose() override { disposed = true; }  // the test keeps every player
};

}  // namespace

class TestPlaybackSession : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    FakeList list_;
    FakeControls controls_;
    std::vector<std::unique_ptr<FakePlayer>> players_;
    std::unique_ptr<PlaybackSession> session_;

    FakePlayer& Player() { return *players_.back(); }
    // Writes the space-separated files, "name=pattern" a log of that validity pattern, "name/"
    // a folder, a clip name an empty file; the list shows `rows`, by default the first file,
    // with row `mark` selected.
    void Files(const QString& files, QString rows = {}, int mark = 0) {
        if (rows.isEmpty())
            rows = files.section(' ', 0, 0).section('=', 0, 0);
        for (const QString& f : files.split(' ', Qt::SkipEmptyParts)) {
            const QStringList parts = f.split('=');
            if (f.endsWith('/'))
                QDir(fx_->Dir()).mkdir(f);
            else
                fx_->Write(parts[0], parts.size() > 1 ? CameraLog(parts[1]) : QByteArray());
        }
        list_.rows = rows.split(' ', Qt::SkipEmptyParts);
        list_.mark = list_.rows.isEmpty() ? -1 : mark;
    }
    // The session's state and log timer, the clip's state, the play button's look, the row.
    QString Now() {
        static const char* const states[] = {"Stopped", "Paused", "Playing"};
        static const char* const media[] = {"stopped", "running", "paused"};
        return QString("%1%2 clip %3, %4, row %5")
            .arg(states[int(session_->State())], session_->LogTimerActive() ? "+timer" : "",
                 media[int(Player().state)], controls_.pauseLook ? "pause" : "play")
            .arg(list_.mark);
    }
    // The map calls since the last clear, without the "map:" prefix, joined by "|".
    QString MapCalls() const {
        return calls.filter(QRegularExpression("^map:")).replaceInStrings("map:", "").join('|');
    }

private slots:
    void init() {
        fx_ = std::make_unique<TestFixture>();
        calls.clear();
        players_.clear();
        list_ = FakeList{};
        list_.dir = fx_->Dir();
        controls_ = FakeControls{};
        session_ = std::make_unique<PlaybackSession>(PlaybackSession::Parts{
            list_, controls_, controls_, controls_, [this](CClipPlayerEvents& events) {
                players_.push_back(std::make_unique<FakePlayer>(events));
                return ClipPlayerPtr(players_.back().get());
            }});
    }
    void cleanup() {
        session_.reset();
        fx_.reset();
    }

    void openRecording_data() {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QStringList>("messages");  // none: the recording loads
        QTest::addColumn<QString>("map");
        const QString centre = "|DrawPolyLine|Reload 0 16|MoveTo 0|RenewCursor 0";
        const QString route = "AddPolyLinePoint 0|AddPolyLinePoint 1|AddPolyLinePoint 2";
        const QStringList none;
        QTest::newRow("clip with its log") << "a.MOV a.nmea=111" << none << route + centre;
        QTest::newRow("no fix at first: centred there, left out of the route")
            << "a.nmea=010" << none << "AddPolyLinePoint 1" + centre;
        QTest::newRow("clip without log")
            << "c.MOV" << QStringList{"No NMEA File : @/c.nmea", "No Nmea Data : @/c.nmea"} << "";
        QTest::newRow("log not a file")
            << "d.MOV d.nmea/" << QStringList{"Cannot read @/d.nmea: a folder, not a file"} << "";
        QTest::newRow("unknown type") << "c.Mov" << QStringList{"unknow file type..."} << "";
        QTest::newRow("no selection") << "" << QStringList{"No selected File..."} << "";
    }
    void openRecording() {
        QFETCH(QString, files);
        QFETCH(QStringList, messages);
        QFETCH(QString, map);
        Files(files);
        QSignalSpy loaded(session_.get(), &PlaybackSession::RecordingLoaded);
        const bool ok = messages.isEmpty();
        QCOMPARE(session_->OpenRecording(), ok ? 0 : -1);
        QCOMPARE(fx_->messages, messages.replaceInStrings("@", fx_->Dir()));
        QCOMPARE(MapCalls(), map);
        QCOMPARE(loaded.count(), ok ? 1 : 0);
        // A failure before the stop ("...") leaves the player; any later outcome replaces it.
        QCOMPARE(int(players_.size()), ok || !messages[0].endsWith("...") ? 2 : 1);
        QCOMPARE(session_->LastIndex(), ok ? 2 : 0);
    }

    // The marker moves to the next entry only when it and the one shown now both have a fix.
    void markerFollowsFixedSamples_data() {
        QTest::addColumn<QString>("validity");
        QTest::addColumn<bool>("page");
        QTest::addColumn<QString>("moves");
        QTest::newRow("all fixed")
            << "111" << true << "MoveTo 1|RenewCursor 1|MoveTo 2|RenewCursor 2";
        QTest::newRow("next without fix") << "101" << true << "";
        QTest::newRow("current without fix") << "011" << true << "MoveTo 2|RenewCursor 2";
        QTest::newRow("page not loaded") << "111" << false << "";
    }
    void markerFollowsFixedSamples() {
        QFETCH(QString, validity);
        QFETCH(bool, page);
        QFETCH(QString, moves);
        Files("m.nmea=" + validity);
        session_->PlayPause();
        controls_.loaded = page;
        calls.clear();
        for (int i = 0; i < validity.size(); ++i) session_->OnLogTick();
        QCOMPARE(MapCalls(), moves);
        QCOMPARE(calls.filter("show"), (QStringList{"show 0", "show 1", "show 2"}));
    }

    // A log row's slider follows the next entry; the tick after the last entry moves on.
    void logRowSliderAndHandOver() {
        Files("a.nmea=" + QString(60, '1') + " b.nmea=111", "a.nmea b.nmea");
        session_->PlayPause();
        QList<int> seen;
        for (int tick = 0; tick < 60; ++tick) {
            session_->OnLogTick();
            seen << controls_.slider;
        }
        QCOMPARE(seen.mid(0, 5), (QList<int>{1, 3, 5, 6, 8}));
        QCOMPARE(seen.back(), 98);
        QCOMPARE(session_->CurrentSecond(), -1);
        calls.clear();
        session_->OnLogTick();
        QCOMPARE(calls.first(), QString("show -"));
        QCOMPARE(Now() + QString(" of %1").arg(session_->LastIndex()),
                 "Playing+timer clip stopped, pause, row 1 of 2");
    }

    // The clip's own clock ends the recording; a tick of a player already replaced, or one
    // that arrives while a change of recording is under way, moves nothing.
    void clipEndMovesOnOnce() {
        Files("a.MOV a.nmea=" + QString(30, '1') + " b.MOV b.nmea=11 c.nmea=",
              "a.MOV b.MOV c.nmea");
        session_->PlayPause();
        FakePlayer& first = Player();
        first.duration = 1;
        CClipPlayerEvents& events = first.events;
        events.OnPlayerTick(&first);
        QCOMPARE(list_.mark, 0);
        events.OnPlayerTick(&first);
        QCOMPARE(list_.mark, 1);
        QVERIFY(first.disposed);
        Player().duration = 0;        // the new clip is at its end already
        events.OnPlayerTick(&first);  // a late tick of the replaced player
        QCOMPARE(list_.mark, 1);
        // The box of the next row's empty log lets the clocks tick inside it.
        SetMessageHandler([this](const std::string&, const std::string&) {
            session_->OnLogTick();
            Player().events.OnPlayerTick(&Player());
        });
        session_->NextRecording();
        QCOMPARE(list_.mark, 2);
    }

    // The backend's end of a clip moves on only when no log plays beside it.
    void clipEndReportedByBackend_data() {
        QTest::addColumn<QString>("files");
        QTest::addColumn<int>("mark");
        QTest::newRow("clip alone: the next row plays, wrapping") << "b.MOV" << 0;
        QTest::newRow("clip with its log: the log plays on") << "b.MOV b.nmea=111" << 1;
    }
    void clipEndReportedByBackend() {
        QFETCH(QString, files);
        QFETCH(int, mark);
        Files(files + " a.nmea=11", "a.nmea b.MOV", 1);
        session_->OpenRecording();
        session_->PlayPause();
        FakePlayer& player = Player();
        player.ended = true;
        player.events.OnGraphNotify(&player);
        QCOMPARE(player.state, MediaState::Stopped);
        QCOMPARE(list_.mark, mark);
        QCOMPARE(session_->State(), PlaybackState::Playing);
    }

    // A double-click opens, then play opens again: the log is read once unless it changed.
    void reopenKeepsAnUnchangedLog() {
        Files("a.nmea=111");
        session_->OpenRecording();
        const TrackEntry* first = session_->Track();
        fx_->Write("out_nmea.txt", "kept");
        session_->PlayPause();
        QCOMPARE(session_->Track(), first);
        QCOMPARE(fx_->Read("out_nmea.txt"), QByteArray("kept"));
        QCOMPARE(calls.filter("map:AddPolyLinePoint").size(), 6);  // the route drawn twice
        fx_->Write("a.nmea", CameraLog(4));
        session_->StopPlayback(false);
        session_->PlayPause();
        QCOMPARE(session_->LastIndex(), 3);
        QVERIFY(fx_->Read("out_nmea.txt") != "kept");
    }
};

QTEST_GUILESS_MAIN(TestPlaybackSession)
#include "test_playback_session.moc"
