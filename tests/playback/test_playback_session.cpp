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
    QString time;
    int shown = -2;  // the entry the instruments show, -1 none

    void SetSampleList(const TrackEntry* t) override {
        if (t == nullptr)
            shown = -1;
    }
    void ShowSample(const TrackEntry* e) override { shown = e ? e->index : -1; }
    bool PageLoaded() const override { return loaded; }
    void AddPolyLinePoint(double a, double o) override { Map("AddPolyLinePoint", a, o); }
    void DrawPolyLine() override { calls << "map:DrawPolyLine"; }
    void Reload(double a, double o, int level) override { Map("Reload", a, o, level); }
    void MoveTo(double a, double o) override { Map("MoveTo", a, o); }
    void RenewCursor(double a, double o) override { Map("RenewCursor", a, o); }
    void ResizeMap() override {}
    void SetPlayLook(bool pause) override { pauseLook = pause; }
    void RedrawPlayButton() override {}
    void ShowPosition(int pct, const std::string& t) override {
        slider = pct;
        time = QString::fromStdString(t);
    }
    void ShowLoading(int) override {}
    int VolumeLevel() const override { return 7; }

private:
    static void Map(const char* f, double a, double o, int level = 0) {
        const double second = ((a - 25) * 60 - 3) * 1000;
        const bool onRoute = o == 121.5 && std::abs(second - std::round(second)) < 1e-6;
        calls << QString("map:%1 %2").arg(f, onRoute ? QString::number(std::lround(second)) : "?") +
                     (level ? QString(" %1").arg(level) : QString());
    }
};

// A clip whose position the test moves: Report(ms) is the backend telling where it is.
class FakePlayer : public CClipPlayer {
public:
    explicit FakePlayer(CClipPlayerEvents& e) : events(e) {}
    CClipPlayerEvents& events;
    MediaState state = MediaState::Stopped;
    int64_t position = 0;
    int64_t duration = 20000;
    double rate = 1;
    bool disposed = false;
    bool ended = false;  // the backend has reported the clip's end

    int OpenMedia(const std::string&, const std::string&) override {
        return state = MediaState::Running, 1;
    }
    int TogglePause() override {
        return state = state == MediaState::Running ? MediaState::Paused : MediaState::Running, 1;
    }
    int StopMedia() override {
        state = MediaState::Stopped;
        position = 0;
        return 1;
    }
    void SeekToMs(int64_t ms) override { position = ms; }
    int64_t StepFrames(int frames) override { return position += frames * 40; }
    int64_t PositionMs() const override { return position; }
    int64_t DurationMs() const override { return duration; }
    void SetRate(double r) override { rate = r; }
    int SetVolumeLevel(int) override { return 1; }
    int HandleGraphEvents() override {
        return std::exchange(ended, false) ? (StopMedia(), kClipEnded) : 1;
    }
    MediaState GetMediaState() const override { return state; }
    void Dispose() override { disposed = true; }  // the test keeps every player

    void Report(int64_t ms) {
        position = ms;
        events.OnPositionChanged(this);
    }
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
            rows = files.section(' ', 0, 0).section('=', 0, 0).remove('/');
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
    // Waits for the open under way to finish (its track loads in the background).
    bool Opened() {
        return QTest::qWaitFor([this] { return !session_->Loading(); }, 5000);
    }
    // A double-click on the marked row, until it plays.
    bool DoubleClick() {
        session_->OpenRecording();
        session_->PlayPause();
        return Opened();
    }
    // What the user sees: the row, the play state, the entry on the instruments, the slider and
    // the time text.
    QString Now() {
        static const char* const states[] = {"Stopped", "Paused", "Playing"};
        return QString("row %1 %2 show %3 slider %4 %5")
            .arg(list_.mark)
            .arg(states[int(session_->State())])
            .arg(controls_.shown)
            .arg(controls_.slider)
            .arg(controls_.time);
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
        // In a straight line: its ends are the route.
        const QString route = "AddPolyLinePoint 0|AddPolyLinePoint 2";
        const QStringList none;
        QTest::newRow("clip with its log")
            << "a.MOV a.nmea=111" << none << "MoveTo 0|RenewCursor 0|" + route + centre;
        QTest::newRow("no fix at first: centred there, left out of the route")
            << "a.nmea=010" << none << "AddPolyLinePoint 1" + centre;
        QTest::newRow("clip without log: the route before is cleared")
            << "c.MOV" << QStringList{"No NMEA File : @/c.nmea", "No Nmea Data : @/c.nmea"}
            << "DrawPolyLine";
    }
    void openRecording() {
        QFETCH(QString, files);
        QFETCH(QStringList, messages);
        Files(files);
        QSignalSpy opened(session_.get(), &PlaybackSession::RecordingOpened);
        const bool refused = !messages.isEmpty() && !messages[0].startsWith("No N");
        QCOMPARE(session_->OpenRecording(), refused ? -1 : 0);
        QVERIFY(Opened());
        QTest::qWait(0);  // the route follows the first second
        QCOMPARE(fx_->messages, messages.replaceInStrings("@", fx_->Dir()));
        QTEST(MapCalls(), "map");
        QCOMPARE(opened.count(), refused ? 0 : 1);
        QCOMPARE(session_->Track() != nullptr, messages.isEmpty());
        QCOMPARE(controls_.shown, messages.isEmpty() ? 0 : refused ? -2 : -1);
    }

    // While a clip plays, its position decides what everything shows: stalls change nothing,
    // jumps and speeds are followed, and the log running out ends the recording.
    void clipPositionIsTheClock_data() {
        QTest::addColumn<QList<int>>("positions");  // ms the backend reports, in turn
        QTest::addColumn<QString>("now");
        QTest::newRow("in step") << QList<int>{0, 999, 1000, 2500}
                                 << "row 0 Playing show 2 slider 12 00:00:02 / 00:00:20";
        QTest::newRow("a stall") << QList<int>{3000, 3000, 3000}
                                 << "row 0 Playing show 3 slider 15 00:00:03 / 00:00:20";
        QTest::newRow("eight times")
            << QList<int>{0, 8000, 16000} << "row 0 Playing show 16 slider 80 00:00:16 / 00:00:20";
        QTest::newRow("past the log's end")
            << QList<int>{17000, 18000} << "row 1 Playing show 0 slider 0 00:00:00 / 00:00:03";
    }
    void clipPositionIsTheClock() {
        QFETCH(QList<int>, positions);
        Files("a.MOV a.nmea=" + QString(18, '1') + " b.nmea=111", "a.MOV b.nmea");
        QVERIFY(DoubleClick());
        QVERIFY(!session_->LogTimerActive());
        FakePlayer& clip = Player();
        for (int ms : positions) clip.Report(ms);
        QVERIFY(Opened());
        QTEST(Now(), "now");
    }

    // A seek moves picture, instruments, marker, slider and time together in every state;
    // reports of where the backend was before it landed are not followed.
    void seekMovesEverything_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("now");
        QTest::newRow("playing") << "play"
                                 << "row 0 Playing show 19 slider 47 00:00:19 / 00:00:40";
        QTest::newRow("paused") << "pause"
                                << "row 0 Paused show 19 slider 47 00:00:19 / 00:00:40";
        QTest::newRow("stopped: opens paused there")
            << "stop"
            << "row 0 Paused show 19 slider 47 00:00:19 / 00:00:40";
    }
    void seekMovesEverything() {
        QFETCH(QString, state);
        QFETCH(QString, now);
        Files("a.MOV a.nmea=" + QString(40, '1'));
        QVERIFY(DoubleClick());
        Player().duration = 40000;
        Player().Report(4000);
        if (state == "pause")
            session_->PlayPause();
        if (state == "stop")
            session_->StopPlayback(false);
        calls.clear();
        session_->Seek(19);
        Player().Report(4200);  // not there yet
        QCOMPARE(Player().position, 4200);
        QCOMPARE(Now(), now);
        QCOMPARE(MapCalls(), "MoveTo 19|RenewCursor 19");
        Player().Report(19000);
        QCOMPARE(Now(), now);
    }

    // The slider's percent of a clip row is of the clip, of a log row of the log.
    void seekPercent_data() {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("now");
        QTest::newRow("clip row") << "a.MOV a.nmea=" + QString(10, '1')
                                  << "row 0 Playing show 5 slider 25 00:00:05 / 00:00:20";
        QTest::newRow("log row") << "a.nmea=" + QString(10, '1')
                                 << "row 0 Playing show 2 slider 25 00:00:02 / 00:00:10";
    }
    void seekPercent() {
        QFETCH(QString, files);
        Files(files);
        QVERIFY(DoubleClick());
        session_->SeekPercent(25);
        QTEST(Now(), "now");
    }

    // A log row runs on the log's timer, at the speed chosen; its last entry shows for a
    // whole second, then the next row plays.
    void logRowOnItsTimer() {
        Files("a.nmea=111 b.MOV b.nmea=11", "a.nmea b.MOV");
        session_->SetRate(4);
        QVERIFY(DoubleClick());
        QVERIFY(session_->LogTimerActive());
        QCOMPARE(Now(), "row 0 Playing show 0 slider 0 00:00:00 / 00:00:03  x4");
        session_->OnLogTick();
        session_->OnLogTick();
        QCOMPARE(Now(), "row 0 Playing show 2 slider 66 00:00:02 / 00:00:03  x4");
        session_->OnLogTick();
        QVERIFY(Opened());
        // The speed holds on the next recording, whose clip is now the clock.
        QCOMPARE(Now(), "row 1 Playing show 0 slider 0 00:00:00 / 00:00:20  x4");
        QCOMPARE(Player().rate, 4.0);
        QVERIFY(!session_->LogTimerActive());
    }

    // The clip's end ends the recording; a report of a player already replaced moves nothing,
    // and a row without a track stops the chain with its messages.
    void clipEndMovesOnOnce() {
        Files("a.MOV a.nmea=11 b.MOV b.nmea=11 c.MOV", "a.MOV b.MOV c.MOV");
        QVERIFY(DoubleClick());
        FakePlayer& first = Player();
        first.ended = true;
        first.events.OnGraphNotify(&first);
        QVERIFY(Opened());
        QCOMPARE(list_.mark, 1);
        QVERIFY(first.disposed);
        first.Report(30000);  // a late report of the replaced player
        first.events.OnGraphNotify(&first);
        QCOMPARE(Now(), "row 1 Playing show 0 slider 0 00:00:00 / 00:00:20");
        Player().ended = true;
        Player().events.OnGraphNotify(&Player());
        QVERIFY(Opened());
        QCOMPARE(Now(), "row 2 Stopped show -1 slider 0 00:00:00 / 00:00:00");
        QCOMPARE(fx_->messages.size(), 2);
    }

    // Previous wraps from the first row to the last.
    void previousWraps() {
        Files("a.nmea=11 b.nmea=111", "a.nmea b.nmea");
        QVERIFY(DoubleClick());
        session_->PrevRecording();
        QVERIFY(Opened());
        QCOMPARE(Now(), "row 1 Playing show 0 slider 0 00:00:00 / 00:00:03");
    }

    // A box of one open lets another open run inside it (a hand-over, a click): the session
    // comes out of it whole, playing the recording opened last with its instruments.
    void openDuringAMessageBox() {
        Files("c.MOV b.MOV b.nmea=1111", "c.MOV b.MOV");
        bool handedOver = false;
        SetMessageHandler([&](const std::string&, const std::string&) {
            if (std::exchange(handedOver, true))
                return;
            list_.mark = 1;
            session_->OpenRecording();
            session_->PlayPause();
            QVERIFY(Opened());
        });
        QVERIFY(DoubleClick());
        QCOMPARE(Now(), "row 1 Playing show 0 slider 0 00:00:00 / 00:00:20");
        Player().Report(2000);
        QCOMPARE(Now(), "row 1 Playing show 2 slider 10 00:00:02 / 00:00:20");
        QCOMPARE(session_->Track() != nullptr, true);
    }
};

QTEST_GUILESS_MAIN(TestPlaybackSession)
#include "test_playback_session.moc"
