#include <QAudioOutput>
#include <QFile>
#include <QMediaPlayer>
#include <QTest>
#include <QVideoSink>

#include <cmath>
#include <memory>

#include "playback/media_player.h"
#include "playback/video_window.h"
#include "tests/support/fixture.h"

namespace {

using L = qint64;

std::string Sample(const char* name) {
    return std::string(VANTRAIL_SOURCE_DIR "/samples/") + name;
}

// The control form, the video page and the session as far as the player sees them: the clip's
// end is handed back as the session does, its ticks are counted by hand.
class Recorder : public CPlayerDisplay, public CClipPlayerEvents {
public:
    QString path;
    QString time = QStringLiteral("00:00:00 / 00:00:00");
    int progress = -1;
    bool playEnabled = false;
    int notifications = 0;
    CVideoWindow window;

    void ShowPath(const QString& p) override { path = p; }
    void ShowTime(const QString& text) override { time = text; }
    void ShowProgress(int pct, bool) override { progress = pct; }
    void EnablePlayButton() override { playEnabled = true; }
    CVideoWindow* VideoWindow() override { return &window; }
    void OnPlayerTick(CClipPlayer*) override {}
    void OnGraphNotify(CClipPlayer* from) override {
        ++notifications;
        from->HandleGraphEvents();
    }
};

}  // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<Recorder> display_;
    std::unique_ptr<CMediaPlayer> player_;

    bool WaitLoaded() {
        return QTest::qWaitFor([this] { return player_->DurationKnown(); }, 10000);
    }
    QString Shown() const { return QString::number(display_->progress) + ' ' + display_->time; }
    void Open(const std::string& path) {
        QCOMPARE(player_->BuildGraph(), 0);
        QCOMPARE(player_->OpenMedia(path), 1);
    }

private slots:
    void init() {
        fx_ = std::make_unique<TestFixture>();
        SetDecoderCheck([](DecoderKind) { return true; });
        display_ = std::make_unique<Recorder>();
        player_ = std::make_unique<CMediaPlayer>(*display_, display_.get());
    }

    void cleanup() {
        player_.reset();
        display_.reset();
        SetDecoderCheck({});
        fx_.reset();
    }

    // The counted position of a playing clip, for lengths the backend might report.
    void tickPosition_data() {
        QTest::addColumn<qint64>("durationMs");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<TickResult>("last");
        QTest::addColumn<QString>("shown");  // progress, then time text
        using T = TickResult;
        QTest::newRow("120 s, at its end")
            << L(120000) << 120 << T::Counted << "99 00:02:00 / 00:02:00";
        QTest::newRow("under a second") << L(900) << 1 << T::ReachedEnd << "0 00:00:00 / 00:00:00";
        QTest::newRow("1:02:05 at 75 s")
            << L(3725000) << 75 << T::Counted << "2 00:01:15 / 01:02:05";
    }
    void tickPosition() {
        QFETCH(qint64, durationMs);
        QFETCH(int, ticks);
        QFETCH(TickResult, last);
        QFETCH(QString, shown);
        QCOMPARE(player_->BuildGraph(), 0);
        QCOMPARE(player_->TickPosition(), TickResult::Idle);  // nothing plays yet
        Open(Sample("REC0004.MOV"));
        QVERIFY(WaitLoaded());
        QCOMPARE(Shown(), QString("0 00:00:00 / 00:00:00"));
        player_->SetDuration(durationMs);
        TickResult result = TickResult::Idle;
        for (int i = 0; i < ticks; ++i) result = player_->TickPosition();
        QCOMPARE(result, last);
        QCOMPARE(Shown(), shown);
    }

    void volume_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("linear");
        QTest::newRow("above range is full volume") << 12 << 1.0;
        QTest::newRow("half way") << 5 << std::pow(10.0, -50.0 / 20);
        QTest::newRow("below range is silence") << -3 << 0.0;
    }
    void volume() {
        QFETCH(int, level);
        QFETCH(double, linear);
        QCOMPARE(player_->BuildGraph(), 0);
        player_->AudioOutput()->setVolume(0.5f);
        QCOMPARE(player_->SetVolumeLevel(level), 1);
        QVERIFY(std::abs(player_->AudioOutput()->volume() - linear) < 1e-4);
    }

    void missingDecoder_data() {
        QTest::addColumn<bool>("audio");  // no video decoder either way
        QTest::addColumn<QString>("message");
        QTest::newRow("neither: audio first") << false << "Failed to Create LAVAudioDecoder Filter";
        QTest::newRow("no H.264 decoder") << true << "Failed to Create LAVVideoDecoder Filter";
    }
    void missingDecoder() {
        QFETCH(bool, audio);
        QFETCH(QString, message);
        SetDecoderCheck([=](DecoderKind kind) { return kind == DecoderKind::Audio && audio; });
        QCOMPARE(player_->BuildGraph(), -1);
        // Every graph build fails again; nothing plays.
        QCOMPARE(player_->OpenMedia(Sample("REC0004.MOV")), -1);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(player_->HandleGraphEvents(), 0);
        QCOMPARE(fx_->messages, (QStringList{message, message, "MediaEventEx interface error"}));
        QCOMPARE(fx_->captions, (QStringList{"Error", "Error", "error"}));
    }

    void playsToEnd_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("durationSeconds");
        QTest::newRow("two-second stream") << "short.ts" << L(2);
        QTest::newRow("clip under a second") << "blink.MOV" << L(0);
    }
    void playsToEnd() {
        QFETCH(QString, name);
        QFETCH(qint64, durationSeconds);
        const QString clip = fx_->Path(name);
        QVERIFY(QFile::copy(VANTRAIL_TEST_DATA "/clips/" + name, clip));
        Open(clip.toStdString());
        QCOMPARE(player_->GetMediaState(), MediaState::Running);
        QCOMPARE(display_->path, clip);
        QVERIFY(display_->playEnabled);
        // Shared, as the sink outlives this function when a check fails.
        const auto frames = std::make_shared<int>(0);
        connect(display_->window.videoSink(), &QVideoSink::videoFrameChanged, this,
                [frames] { ++*frames; });
        QVERIFY(WaitLoaded());
        QCOMPARE(player_->DurationSeconds(), durationSeconds);
        // The end arrives as a completion event that the player hands to its events.
        QTRY_VERIFY_WITH_TIMEOUT(display_->notifications > 0, 15000);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(Shown(), QString("0 00:00:00 / 00:00:00"));
        QCOMPARE(player_->TickPosition(), TickResult::Idle);  // the timer runs on, idle
        QVERIFY(*frames > 0);
        QVERIFY(fx_->messages.isEmpty());
    }

    void seekPauseStop() {
        Open(Sample("REC0001.MOV"));
        QVERIFY(WaitLoaded());
        QCOMPARE(player_->SecondsAtPercent(50), 20);
        // Asked at once: the backend cannot seek yet and takes it when it can.
        player_->SeekToSecond(20);
        QCOMPARE(player_->Position(), 20);
        QMediaPlayer* graph = player_->Graph();
        QTRY_VERIFY2(std::abs(graph->position() - 20000) < 1500,
                     qPrintable(QString::number(graph->position())));
        QTRY_COMPARE(graph->playbackState(), QMediaPlayer::PlayingState);
        QCOMPARE(player_->TickPosition(), TickResult::Counted);
        QCOMPARE(display_->time, QString("00:00:21 / 00:00:40"));
        QCOMPARE(player_->TogglePause(), 1);
        QCOMPARE(player_->TickPosition(), TickResult::Idle);
        // Stopping a paused clip resets the form but leaves the backend paused.
        QCOMPARE(player_->StopMedia(), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(graph->playbackState(), QMediaPlayer::PausedState);
        QCOMPARE(display_->time, QString("00:00:00 / 00:00:00"));
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
