#include <QFile>
#include <QTest>
#include <QVideoSink>

#include <memory>

#include "playback/media_player.h"
#include "playback/video_window.h"
#include "tests/evidence/numbered_clip.h"
#include "tests/support/fixture.h"

namespace {

using L = qint64;

std::string Sample(const char* name) {
    return std::string(VANTRAIL_SOURCE_DIR "/samples/") + name;
}

// The control form, the video page and the session as far as the player sees them: the clip's
// end is handed back as the session does, its position reports are counted.
class Recorder : public CPlayerDisplay, public CClipPlayerEvents {
public:
    QString path;
    bool playEnabled = false;
    int positions = 0;
    int ended = 0;
    CVideoWindow window;

    void ShowPath(const QString& p) override { path = p; }
    void EnablePlayButton() override { playEnabled = true; }
    CVideoWindow* VideoWindow() override { return &window; }
    void OnPositionChanged(CClipPlayer*) override { ++positions; }
    void OnGraphNotify(CClipPlayer* from) override {
        if (from->HandleGraphEvents() == kClipEnded)
            ++ended;
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
    // The frame number the picture (or its inset) shows now.
    int FrameShown(bool inset = false) const {
        const CVideoWindow& w = display_->window;
        return FrameNumber(VideoFrameImage((inset ? w.insetSink() : w.videoSink())->videoFrame()));
    }
    void Open(const std::string& path, const std::string& inset = {}) {
        QCOMPARE(player_->BuildGraph(), 0);
        QCOMPARE(player_->OpenMedia(path, inset), 1);
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

    // Paused, a seek shows the frame at its time (clip time, also in a transport stream whose
    // clock starts before its picture), and a step goes to the next or previous frame
    // exactly, also back over a key frame (one a second) into the group before it. Paused
    // while playing, the picture stays on the frame of the position, so the first step moves.
    // An inset clip (here the same clip) shows the same frame at every step.
    void frameSteps_data() {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<bool>("pausedPlaying");
        QTest::addColumn<bool>("inset");
        QTest::newRow("mov") << "numbered.MOV" << false << false;
        QTest::newRow("ts") << "numbered.ts" << false << false;
        QTest::newRow("mov paused while playing, inset") << "numbered.MOV" << true << true;
    }
    void frameSteps() {
        QFETCH(QString, clip);
        QFETCH(bool, pausedPlaying);
        QFETCH(bool, inset);
        int first = 26;
        const std::string path = (kNumberedClips + clip).toStdString();
        Open(path, inset ? path : std::string());
        QVERIFY(WaitLoaded());
        if (pausedPlaying) {
            QTRY_VERIFY_WITH_TIMEOUT(FrameShown() > 10, 5000);
            player_->TogglePause();
            QTest::qWait(500);  // what pausing sends the picture has arrived
            first = FrameShown();
            QCOMPARE(first, player_->PositionMs() / 40);
        } else {
            player_->TogglePause();
            player_->SeekToMs(26 * 40 + 20);  // the middle of frame 26 at 25 frames a second
            QTRY_COMPARE_WITH_TIMEOUT(FrameShown(), first, 5000);
        }
        QList<int> seen;
        for (int step : {1, -1, -1, -1, -1, -1}) {
            player_->StepFrames(step);
            const int expected = (seen.isEmpty() ? first : seen.back()) + step;
            QTRY_COMPARE_WITH_TIMEOUT(FrameShown(), expected, 5000);
            if (inset)
                QTRY_COMPARE_WITH_TIMEOUT(FrameShown(true), expected, 5000);
            seen << expected;
        }
        QCOMPARE(player_->GetMediaState(), MediaState::Paused);
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
        QCOMPARE(player_->OpenMedia(Sample("REC0004.MOV"), {}), -1);
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
    // Plays with position reports to its end, which comes back as the clip's end.
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
        QCOMPARE(player_->DurationMs() / 1000, durationSeconds);
        // The end arrives as a completion event that the player hands to its events.
        QTRY_COMPARE_WITH_TIMEOUT(display_->ended, 1, 15000);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QVERIFY(display_->positions > 0);
        QVERIFY(*frames > 0);
        QVERIFY(fx_->messages.isEmpty());
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
