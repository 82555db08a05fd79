#include <QFile>
#include <QTest>
#include <QVideoSink>

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
        Open(Sample("REC0004.MOV"));
        QVERIFY(WaitLoaded());
        player_->SetDuration(durationMs);
        TickResult result = TickResult::Idle;
        for (int i = 0; i < ticks; ++i) result = player_->TickPosition();
        QCOMPARE(result, last);
        QCOMPARE(Shown(), shown);
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
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
