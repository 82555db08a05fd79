#include <QAudioOutput>
#include <QFile>
#include <QLabel>
#include <QMediaPlayer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoSink>

#include <cmath>
#include <memory>

#include "app/app_state.h"
#include "app/message.h"
#include "playback/media_player.h"
#include "playback/video_window.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"

namespace {

std::string Sample(const char* name) {
    return std::string(VANTRAIL_SOURCE_DIR "/samples/") + name;
}

// The control form as far as the player sees it: the graph notification answered the way
// the form answers it.
class OwnerForm : public QWidget {
public:
    CMediaPlayer* player = nullptr;
    int notifications = 0;

    bool event(QEvent* e) override {
        const bool handled = QWidget::event(e);
        if (e->type() == kGraphNotifyEvent) {
            ++notifications;
            player->HandleGraphEvents();
        }
        return handled;
    }
};

}  // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<OwnerForm> form_;
    std::unique_ptr<QWidget> videoPage_;
    std::unique_ptr<CMediaPlayer> player_;
    std::vector<std::pair<std::string, std::string>> messages_;  // text, caption

    QLabel* TimeLabel() const {
        return qobject_cast<QLabel*>(GetDlgItem(form_.get(), kTimeTextId));
    }
    int Progress() const {
        return qobject_cast<QProgressBar*>(GetDlgItem(form_.get(), kProgressBarId))->value();
    }
    CProSliderCtrl* Slider() const {
        return qobject_cast<CProSliderCtrl*>(GetDlgItem(form_.get(), kPositionSliderId));
    }
    bool WaitLoaded() {
        return QTest::qWaitFor([this] { return player_->DurationKnown(); }, 10000);
    }
    void Open(const std::string& path) {
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->OpenMedia(path), 1);
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        theApp() = CVantrailApp{};
        theApp().moduleDir = tmp_->path().toStdString();
        messages_.clear();
        SetMessageHandler([this](const std::string& text, const std::string& caption) {
            messages_.emplace_back(text, caption);
        });
        SetDecoderCheck([](DecoderKind) { return true; });

        form_ = std::make_unique<OwnerForm>();
        const auto formTemplate = LoadDialogTemplate(132);
        const auto pageTemplate = LoadDialogTemplate(189);
        QVERIFY(formTemplate && pageTemplate);
        CreateDialogControls(form_.get(), *formTemplate,
                             [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                 return c.kind == "trackbar" ? new CProSliderCtrl(parent) : nullptr;
                             });
        videoPage_ = std::make_unique<QWidget>();
        CreateDialogControls(videoPage_.get(), *pageTemplate);
        theApp().videoPage = videoPage_.get();

        player_ = std::make_unique<CMediaPlayer>();
        form_->player = player_.get();
        // The form's timer handler, as far as the player's ticks go.
        connect(player_.get(), &CMediaPlayer::Timer, player_.get(), [this](int id) {
            if (id == kPlayerTimerId)
                player_->TickPosition();
        });
    }

    void cleanup() {
        player_.reset();
        videoPage_.reset();
        form_.reset();
        SetDecoderCheck({});
        SetMessageHandler({});
        tmp_.reset();
    }

    void tickPosition_data() {
        QTest::addColumn<qint64>("durationMs");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("lastResult");
        QTest::addColumn<int>("pct");
        QTest::addColumn<QString>("text");
        QTest::newRow("120 s, half way")
            << qint64(120000) << 60 << 1 << 49 << "00:01:00 / 00:02:00";
        QTest::newRow("120 s, at its length")
            << qint64(120000) << 120 << 1 << 99 << "00:02:00 / 00:02:00";
        QTest::newRow("under a second") << qint64(900) << 1 << 2 << 0 << "00:00:00 / 00:00:00";
        QTest::newRow("1 h 2 min 5 s at 75 s")
            << qint64(3725000) << 75 << 1 << 2 << "00:01:15 / 01:02:05";
    }

    void tickPosition() {
        QFETCH(qint64, durationMs);
        QFETCH(int, ticks);
        QFETCH(int, lastResult);
        QFETCH(int, pct);
        QFETCH(QString, text);
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->TickPosition(), 0);  // nothing plays yet
        // A missing file renders nothing; the counting is driven by hand from here.
        player_->OpenMedia(tmp_->filePath("none.MOV").toStdString());
        player_->SetDuration(durationMs);
        player_->playing = true;
        qobject_cast<QProgressBar*>(GetDlgItem(form_.get(), kProgressBarId))->setValue(0);
        int result = 0;
        for (int i = 0; i < ticks; ++i) result = player_->TickPosition();
        QCOMPARE(result, lastResult);
        QCOMPARE(Progress(), pct);
        QCOMPARE(Slider()->GetDrawPos(), pct);
        QCOMPARE(TimeLabel()->text(), text);
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
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        player_->AudioOutput()->setVolume(0.5f);
        QCOMPARE(player_->SetVolumeLevel(level), 1);
        QVERIFY(std::abs(player_->AudioOutput()->volume() - linear) < 1e-4);
    }

    void seekUnits_data() {
        QTest::addColumn<qint64>("durationSeconds");  // -1: never rendered
        QTest::addColumn<int>("pos");
        QTest::addColumn<qint64>("units");
        // 100/120 in single precision lies a little below 5/6, so targets land just after.
        QTest::newRow("half of 120 s") << qint64(120) << 50 << qint64(600000014);
        QTest::newRow("clip under a second") << qint64(0) << 50 << qint64(0);
        QTest::newRow("nothing rendered yet") << qint64(-1) << 50 << qint64(0);
    }

    void seekUnits() {
        QFETCH(qint64, durationSeconds);
        QFETCH(int, pos);
        QFETCH(qint64, units);
        CMediaPlayer player;
        player.unitsPerSecond = durationSeconds < 0 ? 0.0f : UnitsPerSecond(durationSeconds);
        QCOMPARE(SeekUnits(pos, player.unitsPerSecond), units);
        QCOMPARE(player.SecondsAtPercent(pos), static_cast<int32_t>(units / 10000000));
    }

    void missingDecoder_data() {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("message");
        QTest::newRow("neither: audio is checked first")
            << false << false << "Failed to Create LAVAudioDecoder Filter";
        QTest::newRow("no H.264 decoder")
            << true << false << "Failed to Create LAVVideoDecoder Filter";
    }

    void missingDecoder() {
        QFETCH(bool, audio);
        QFETCH(bool, video);
        QFETCH(QString, message);
        SetDecoderCheck(
            [=](DecoderKind kind) { return kind == DecoderKind::Audio ? audio : video; });
        QCOMPARE(player_->BuildGraph(form_.get()), -1);
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(QString::fromStdString(messages_[0].first), message);
        QCOMPARE(messages_[0].second, std::string("Error"));
        // Every graph build fails again; nothing plays.
        QCOMPARE(player_->OpenMedia(Sample("REC0004.MOV")), -1);
        QCOMPARE(messages_.size(), size_t{2});
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(player_->HandleGraphEvents(), 0);
        QCOMPARE(messages_.back(),
                 std::make_pair(std::string("MediaEventEx interface error"), std::string("error")));
    }

    void playsToEnd_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("durationSeconds");
        QTest::newRow("two-second clip") << "short.MOV" << qint64(2);
        QTest::newRow("two-second stream") << "short.ts" << qint64(2);
        QTest::newRow("clip under a second") << "blink.MOV" << qint64(0);
    }

    void playsToEnd() {
        QFETCH(QString, name);
        QFETCH(qint64, durationSeconds);
        const QString clip = tmp_->filePath(name);
        QVERIFY(QFile::copy(VANTRAIL_TEST_DATA "/clips/" + name, clip));
        GetDlgItem(form_.get(), kPlayButtonId)->setEnabled(false);
        Open(clip.toStdString());
        QCOMPARE(player_->GetMediaState(), MediaState::Running);
        QCOMPARE(qobject_cast<QLabel*>(GetDlgItem(form_.get(), kPathLineId))->text(), clip);
        QVERIFY(GetDlgItem(form_.get(), kPlayButtonId)->isEnabled());
        QCOMPARE(player_->VideoWindow()->parentWidget(), videoPage_.get());
        // Shared, as the sink outlives this function when a check fails.
        const auto frames = std::make_shared<int>(0);
        connect(player_->VideoWindow()->videoSink(), &QVideoSink::videoFrameChanged, this,
                [frames] { ++*frames; });
        QVERIFY(WaitLoaded());
        QCOMPARE(player_->durationSeconds, durationSeconds);
        if (durationSeconds == 0)
            QCOMPARE(player_->TickPosition(), 2);

        // The end arrives as a completion event that the owner hands back to the player.
        QTRY_VERIFY_WITH_TIMEOUT(form_->notifications > 0, 15000);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(TimeLabel()->text(), QString("00:00:00 / 00:00:00"));
        QCOMPARE(Slider()->GetDrawPos(), 0);
        QCOMPARE(player_->TickPosition(), 0);  // the timer runs on, its ticks do nothing
        QVERIFY(*frames > 0);
        QVERIFY(messages_.empty());
    }

    void pauseResumeStop() {
        Open(Sample("REC0004.MOV"));
        QVERIFY(WaitLoaded());
        QMediaPlayer* graph = player_->Graph();
        QTRY_COMPARE(graph->playbackState(), QMediaPlayer::PlayingState);
        QCOMPARE(player_->TickPosition(), 1);
        QCOMPARE(TimeLabel()->text(), QString("00:00:01 / 00:00:20"));
        QCOMPARE(player_->TogglePause(), 1);
        QCOMPARE(player_->TickPosition(), 0);
        // Stopping a paused clip resets the form but leaves the backend paused.
        QCOMPARE(player_->StopMedia(), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(graph->playbackState(), QMediaPlayer::PausedState);
        QCOMPARE(TimeLabel()->text(), QString("00:00:00 / 00:00:00"));
    }

    void seeksInClip() {
        Open(Sample("REC0001.MOV"));
        QVERIFY(WaitLoaded());
        QCOMPARE(player_->durationSeconds, qint64(40));
        // Asked at once: the backend cannot seek yet and takes it when it can.
        QCOMPARE(player_->SeekToPercent(50), 1);
        QTRY_VERIFY2(std::abs(player_->Graph()->position() - 20000) < 1500,
                     qPrintable(QString::number(player_->Graph()->position())));
    }

    void notAClipFailsOnce() {
        const QString path = tmp_->filePath("broken.MOV");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4000, 'x')) == 4000);
        f.close();
        Open(path.toStdString());
        QTRY_COMPARE(messages_.size(), size_t{1});
        QCOMPARE(messages_[0].first, std::string("Failed to add RenderFile to graph"));
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QTest::qWait(200);
        QCOMPARE(messages_.size(), size_t{1});  // one message, however many backend errors
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
