#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

#include "playback/playback_session.h"
#include "tests/support/fixture.h"

namespace {

// Every call the session makes on the parts it drives, in order, as "part:call".
QStringList calls;

QString Deg(double v) {
    return QString::asprintf("%f", v);
}

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

// The instruments, the map page and the transport controls.
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
    void Reload(double a, double o, int level) override {
        Map("Reload", a, o, QString(" %1").arg(level));
    }
    void MoveTo(double a, double o) override { Map("MoveTo", a, o); }
    void RenewCursor(double a, double o) override { Map("RenewCursor", a, o); }
    void ResizeMap() override { calls << "map:ResizeMap"; }
    void SetPlayLook(bool pause) override { pauseLook = pause; }
    void RedrawPlayButton() override {}
    void MovePositionSlider(int pos, bool) override { slider = pos; }
    int VolumeLevel() const override { return 7; }

private:
    static void Map(const char* f, double a, double o, const QString& more = {}) {
        calls << QString("map:%1 %2 %3").arg(f, Deg(a), Deg(o)) + more;
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

    int OpenMedia(const std::string&) override {
        calls << "player:OpenMedia";
        state = MediaState::Running;
        return 1;
    }
    int TogglePause() override {
        state = state == MediaState::Running ? MediaState::Paused : MediaState::Running;
        return 1;
    }
    int StopMedia() override {
        calls << "player:StopMedia";
        state = MediaState::Stopped;
        position = 0;
        return 1;
    }
    void SeekToSecond(int32_t second) override {
        calls << QString("player:SeekToSecond %1").arg(second);
        position = second;
    }
    int32_t SecondsAtPercent(int pos) const override { return pos * duration / 100; }
    int SetVolumeLevel(int level) override {
        calls << QString("player:SetVolumeLevel %1").arg(level);
        return 1;
    }
    TickResult TickPosition() override {
        if (state != MediaState::Running)
            return TickResult::Idle;
        if (position >= duration)
            return TickResult::ReachedEnd;
        ++position;
        return TickResult::Counted;
    }
    bool ended = false;  // the backend has reported the clip's end
    int HandleGraphEvents() override {
        if (std::exchange(ended, false))
            StopMedia();
        return 1;
    }
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
    // Rows of the list, the files written beside them; "name=pattern" writes a log of that
    // validity pattern, a clip name an empty file.
    void Files(const QStringList& files, const QStringList& rows, int mark) {
        for (const QString& f : files) {
            const QStringList parts = f.split('=');
            fx_->Write(parts[0], parts.size() > 1 ? CameraLog(parts[1]) : QByteArray());
        }
        list_.rows = rows;
        list_.mark = mark;
    }
    // The route position of second i of CameraLog.
    static QString At(int i) { return Deg(25 + (3 + i / 1000.0) / 60) + ' ' + Deg(121.5); }
    QStringList MapCalls() const { return calls.filter(QRegularExpression("^map:")); }

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
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("page");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("map");
        const QString at0 = At(0), at1 = At(1), at2 = At(2);
        const QStringList centre{"map:DrawPolyLine", "map:Reload " + at0 + " 16",
                                 "map:MoveTo " + at0, "map:RenewCursor " + at0};
        QTest::newRow("clip with its log")
            << QStringList{"a.MOV", "a.nmea=111"} << "a.MOV" << true << 0 << QStringList{}
            << QStringList{"map:AddPolyLinePoint " + at0, "map:AddPolyLinePoint " + at1,
                           "map:AddPolyLinePoint " + at2} +
                   centre;
        QTest::newRow("no fix at first: centred there, left out of the route")
            << QStringList{"a.nmea=010"} << "a.nmea" << true << 0 << QStringList{}
            << QStringList{"map:AddPolyLinePoint " + at1} + centre;
        QTest::newRow("page not loaded") << QStringList{"a.nmea=111"} << "a.nmea" << false << 0
                                         << QStringList{} << QStringList{};
        QTest::newRow("clip without log")
            << QStringList{"c.MOV"} << "c.MOV" << true << -1
            << QStringList{"No NMEA File : @/c.nmea", "No Nmea Data : @/c.nmea"} << QStringList{};
        QTest::newRow("log without samples")
            << QStringList{"e.nmea="} << "e.nmea" << true << -1
            << QStringList{"No Nmea Data : @/e.nmea"} << QStringList{};
        QTest::newRow("unknown type") << QStringList{"c.Mov"} << "c.Mov" << true << -1
                                      << QStringList{"unknow file type..."} << QStringList{};
        QTest::newRow("no selection") << QStringList{} << QString() << true << -1
                                      << QStringList{"No selected File..."} << QStringList{};
    }
    void openRecording() {
        QFETCH(QStringList, files);
        QFETCH(QString, row);
        QFETCH(bool, page);
        QFETCH(int, result);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, map);
        controls_.loaded = page;
        Files(files, {row}, row.isEmpty() ? -1 : 0);
        QSignalSpy loaded(session_.get(), &PlaybackSession::RecordingLoaded);
        QCOMPARE(session_->OpenRecording(), result);
        QCOMPARE(fx_->messages, messages.replaceInStrings("@", fx_->Dir()));
        QCOMPARE(MapCalls(), map);
        QCOMPARE(loaded.count(), result == 0 ? 1 : 0);
        QCOMPARE(session_->Track() != nullptr, result == 0);
        // A failure before the stop leaves the player; any later outcome replaces it.
        const bool early = messages.isEmpty() ? false : !messages[0].startsWith("No N");
        QCOMPARE(int(players_.size()), early ? 1 : 2);
        if (result == 0) {
            QCOMPARE(session_->LastIndex(), 2);
            QCOMPARE(session_->CurrentSecond(), 0);
            QCOMPARE(QString::fromStdString(session_->TrackPath()), fx_->Path("a.nmea"));
        }
    }

    // Successive presses of the play button from Stopped.
    void playPause_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("presses");
        QTest::addColumn<PlaybackState>("state");
        QTest::addColumn<MediaState>("media");
        QTest::addColumn<bool>("pauseLook");
        QTest::newRow("log row plays") << QStringList{"r.nmea=111"} << 1 << PlaybackState::Playing
                                       << MediaState::Stopped << true;
        QTest::newRow("log row pauses") << QStringList{"r.nmea=111"} << 2 << PlaybackState::Paused
                                        << MediaState::Stopped << false;
        QTest::newRow("log row resumes") << QStringList{"r.nmea=111"} << 3 << PlaybackState::Playing
                                         << MediaState::Stopped << true;
        QTest::newRow("clip with log plays")
            << QStringList{"r.MOV", "r.nmea=111"} << 1 << PlaybackState::Playing
            << MediaState::Running << true;
        QTest::newRow("clip alone plays, log timer off")
            << QStringList{"r.MOV"} << 1 << PlaybackState::Stopped << MediaState::Running << true;
        QTest::newRow("clip alone pauses")
            << QStringList{"r.MOV"} << 2 << PlaybackState::Stopped << MediaState::Paused << false;
        QTest::newRow("log without samples: pause look, nothing plays")
            << QStringList{"r.nmea="} << 1 << PlaybackState::Stopped << MediaState::Stopped << true;
    }
    void playPause() {
        QFETCH(QStringList, files);
        QFETCH(int, presses);
        QFETCH(PlaybackState, state);
        QFETCH(MediaState, media);
        QFETCH(bool, pauseLook);
        Files(files, {files[0].section('=', 0, 0)}, 0);
        for (int i = 0; i < presses; ++i) session_->PlayPause();
        QCOMPARE(session_->State(), state);
        QCOMPARE(session_->LogTimerActive(), state == PlaybackState::Playing);
        QCOMPARE(Player().state, media);
        QCOMPARE(controls_.pauseLook, pauseLook);
        if (media == MediaState::Running)
            QCOMPARE(calls.filter("player:SetVolumeLevel"), QStringList{"player:SetVolumeLevel 7"});
        // Pausing and resuming keep the cursor.
        QCOMPARE(session_->CurrentSecond(), session_->Track() ? 0 : -1);
    }

    // The marker moves to the next entry only when it and the one shown now both have a fix.
    void markerFollowsFixedSamples_data() {
        QTest::addColumn<QString>("validity");
        QTest::addColumn<bool>("page");
        QTest::addColumn<QStringList>("moves");
        QTest::newRow("all fixed")
            << "111" << true
            << QStringList{"map:MoveTo " + At(1), "map:RenewCursor " + At(1), "map:MoveTo " + At(2),
                           "map:RenewCursor " + At(2)};
        QTest::newRow("next without fix") << "101" << true << QStringList{};
        QTest::newRow("current without fix")
            << "011" << true << QStringList{"map:MoveTo " + At(2), "map:RenewCursor " + At(2)};
        QTest::newRow("page not loaded") << "111" << false << QStringList{};
    }
    void markerFollowsFixedSamples() {
        QFETCH(QString, validity);
        QFETCH(bool, page);
        QFETCH(QStringList, moves);
        Files({"m.nmea=" + validity}, {"m.nmea"}, 0);
        session_->PlayPause();
        controls_.loaded = page;
        calls.clear();
        for (int i = 0; i < validity.size(); ++i) session_->OnLogTick();
        QCOMPARE(MapCalls(), moves);
        QCOMPARE(calls.filter("show"), (QStringList{"show 0", "show 1", "show 2"}));
    }

    // A log row's slider follows the next entry; the tick after the last entry moves on.
    void logRowSliderAndHandOver() {
        Files({"a.nmea=" + QString(60, '1'), "b.nmea=111"}, {"a.nmea", "b.nmea"}, 0);
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
        QCOMPARE(list_.mark, 1);
        QCOMPARE(session_->LastIndex(), 2);
        QCOMPARE(session_->State(), PlaybackState::Playing);
    }

    // Next and previous open and play the row the list moves to.
    void nextAndPrevious() {
        Files({"a.nmea=1", "b.nmea=11", "c.nmea=111"}, {"a.nmea", "b.nmea", "c.nmea"}, 0);
        session_->NextRecording();
        QCOMPARE(session_->LastIndex(), 1);
        QCOMPARE(session_->State(), PlaybackState::Playing);
        session_->PrevRecording();
        session_->PrevRecording();
        QCOMPARE(session_->LastIndex(), 2);
        QCOMPARE(session_->State(), PlaybackState::Playing);
    }

    // The clip's own clock ends the recording; a tick of a player already replaced, or one
    // that arrives while a change of recording is under way, moves nothing.
    void clipEndMovesOnOnce() {
        Files({"a.MOV", "a.nmea=" + QString(30, '1'), "b.MOV", "b.nmea=11", "c.nmea="},
              {"a.MOV", "b.MOV", "c.nmea"}, 0);
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
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("mark");
        QTest::newRow("clip alone: the next row plays, wrapping") << QStringList{"b.MOV"} << 0;
        QTest::newRow("clip with its log: the log plays on")
            << QStringList{"b.MOV", "b.nmea=111"} << 1;
    }
    void clipEndReportedByBackend() {
        QFETCH(QStringList, files);
        QFETCH(int, mark);
        Files(files + QStringList{"a.nmea=11"}, {"a.nmea", "b.MOV"}, 1);
        session_->OpenRecording();
        session_->PlayPause();
        FakePlayer& player = Player();
        player.ended = true;
        player.events.OnGraphNotify(&player);
        QCOMPARE(player.state, MediaState::Stopped);
        QCOMPARE(list_.mark, mark);
        QCOMPARE(session_->State(), PlaybackState::Playing);
    }

    void seekPercent_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("second");
        QTest::addColumn<QStringList>("player");
        QTest::newRow("log row") << "a.nmea" << 50 << 20 << QStringList{};
        QTest::newRow("clip") << "a.MOV" << 50 << 10 << QStringList{"player:SeekToSecond 10"};
        QTest::newRow("clip, past the log's end")
            << "a.MOV" << 100 << -1 << QStringList{"player:SeekToSecond 20"};
    }
    void seekPercent() {
        QFETCH(QString, row);
        QFETCH(int, pos);
        QFETCH(int, second);
        QFETCH(QStringList, player);
        Files({"a.MOV", "a.nmea=" + QString(20 + 20 * row.endsWith("nmea"), '1')}, {row}, 0);
        session_->PlayPause();
        calls.clear();
        session_->SeekPercent(pos);
        QCOMPARE(session_->CurrentSecond(), second);
        QCOMPARE(calls.filter("player:"), player);
        QCOMPARE(session_->State(), PlaybackState::Playing);
    }

    // A double-click opens, then play opens again: the log is read once unless it changed.
    void reopenKeepsAnUnchangedLog() {
        Files({"a.nmea=111"}, {"a.nmea"}, 0);
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

    void stopRewinds() {
        Files({"a.MOV", "a.nmea=111"}, {"a.MOV"}, 0);
        session_->PlayPause();
        session_->OnLogTick();
        calls.clear();
        controls_.slider = 40;
        session_->StopPlayback(true);
        QCOMPARE(calls, (QStringList{"show 0", "player:SeekToSecond 0", "player:StopMedia"}));
        QCOMPARE(session_->State(), PlaybackState::Stopped);
        QVERIFY(!session_->LogTimerActive());
        QCOMPARE(controls_.slider, 0);
        QVERIFY(!controls_.pauseLook);
    }
};

QTEST_GUILESS_MAIN(TestPlaybackSession)
#include "test_playback_session.moc"
