#include <QApplication>
#include <QAudioOutput>
#include <QFile>
#include <QLabel>
#include <QMediaPlayer>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include "playback/video_window.h"

#include <cmath>
#include <memory>

#include "app/app_state.h"
#include "app/message.h"
#include "playback/media_player.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"

namespace {

const QString kSamples = QStringLiteral(VANTRAIL_SOURCE_DIR "/samples");

// The control form as far as the player sees it: its controls by id, and the graph
// notification answered the way the form answers it.
class OwnerForm : public QWidget {
public:
    CMediaPlayer* player = nullptr;
    int notifications = 0;

    bool event(QEvent* e) override {
        const bool handled = QWidget::event(e);
        if (e->type() == kGraphNotifyEvent) {
            ++notifications;
            if (player != nullptr)
                player->HandleGraphEvents();
        }
        return handled;
    }
};

struct Message {
    std::string text;
    std::string caption;
};

}  // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<OwnerForm> form_;
    std::unique_ptr<QWidget> videoPage_;
    std::unique_ptr<CMediaPlayer> player_;
    std::vector<Message> messages_;

    QString TimeText() const {
        return qobject_cast<QLabel*>(GetDlgItem(form_.get(), kTimeTextId))->text();
    }
    int Progress() const {
        return qobject_cast<QProgressBar*>(GetDlgItem(form_.get(), kProgressBarId))->value();
    }
    CProSliderCtrl* Slider() const {
        return qobject_cast<CProSliderCtrl*>(GetDlgItem(form_.get(), kPositionSliderId));
    }

    // A short test clip (tests/data/clips) copied into the temporary folder.
    QString CopyClip(const QString& name) {
        const QString path = tmp_->filePath(name);
        return QFile::copy(QStringLiteral(VANTRAIL_TEST_DATA "/clips/") + name, path) ? path
                                                                                      : QString();
    }

    // Plays until the backend has told the length; false when it never does.
    bool WaitLoaded() {
        return QTest::qWaitFor([this] { return player_->DurationKnown(); }, 10000);
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        theApp() = CVantrailApp{};
        theApp().moduleDir = tmp_->path().toStdString();
        messages_.clear();
        SetMessageHandler([this](const std::string& text, const std::string& caption) {
            messages_.push_back({text, caption});
        });
        SetDecoderCheck([](DecoderKind) { return true; });

        form_ = std::make_unique<OwnerForm>();
        const auto formTemplate = LoadDialogTemplate(132);
        QVERIFY(formTemplate);
        CreateDialogControls(form_.get(), *formTemplate,
                             [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                 if (c.kind == "trackbar")
                                     return new CProSliderCtrl(parent);
                                 return nullptr;
                             });
        videoPage_ = std::make_unique<QWidget>();
        const auto pageTemplate = LoadDialogTemplate(189);
        QVERIFY(pageTemplate);
        CreateDialogControls(videoPage_.get(), *pageTemplate);
        theApp().videoPage = videoPage_.get();

        player_ = std::make_unique<CMediaPlayer>();
        form_->player = player_.get();
        // The form's timer handler, as far as the player's ticks go.
        connect(player_.get(), &CMediaPlayer::Timer, player_.get(), [this](int id) {
            QCOMPARE(id, kPlayerTimerId);
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
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("lastResult");
        QTest::addColumn<int>("pct");
        QTest::addColumn<QString>("text");
        QTest::newRow("120 s, half way")
            << qint64(120000) << 0 << 60 << 1 << 49 << "00:01:00 / 00:02:00";
        QTest::newRow("120 s, at its length")
            << qint64(120000) << 0 << 120 << 1 << 99 << "00:02:00 / 00:02:00";
        QTest::newRow("120 s, one tick past")
            << qint64(120999) << 0 << 121 << 2 << 99 << "00:02:00 / 00:02:00";
        QTest::newRow("under a second") << qint64(900) << 0 << 1 << 2 << 0 << "00:00:00 / 00:00:00";
        QTest::newRow("1 h 2 min 5 s at 75 s")
            << qint64(3725000) << 0 << 75 << 1 << 2 << "00:01:15 / 01:02:05";
        QTest::newRow("hours wrap at 60")
            << qint64(219601000) << 219599 << 1 << 1 << 99 << "01:00:00 / 01:00:01";
    }

    void tickPosition() {
        QFETCH(qint64, durationMs);
        QFETCH(int, start);
        QFETCH(int, ticks);
        QFETCH(int, lastResult);
        QFETCH(int, pct);
        QFETCH(QString, text);
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->TickPosition(), 0);  // nothing plays yet
        // Opening looks up the form's progress bar; a missing file then renders nothing, and
        // the counting is driven by hand from here.
        player_->OpenMedia(tmp_->filePath("none.MOV").toStdString());
        player_->SetDuration(durationMs);
        player_->playing = true;
        player_->position = start;
        qobject_cast<QProgressBar*>(GetDlgItem(form_.get(), kProgressBarId))->setValue(0);
        int result = 0;
        for (int i = 0; i < ticks; ++i) result = player_->TickPosition();
        QCOMPARE(result, lastResult);
        QCOMPARE(Progress(), pct);
        QCOMPARE(Slider()->value(), pct);
        QCOMPARE(Slider()->GetDrawPos(), pct);
        QCOMPARE(TimeText(), text);
    }

    void heldThumbKeepsSlider() {
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        player_->SetDuration(10000);
        player_->playing = true;
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        CProSliderCtrl* slider = Slider();
        slider->setRange(0, 100);
        slider->setValue(0);
        const QPoint thumb(4, slider->height() / 2);
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        QVERIFY(slider->ThumbHeld());
        const int before = slider->value();
        QCOMPARE(player_->TickPosition(), 1);
        QCOMPARE(player_->TickPosition(), 1);
        QCOMPARE(slider->value(), before);
        QCOMPARE(slider->GetDrawPos(), 20);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb);
    }

    void volume_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<double>("linear");
        QTest::newRow("above range is full volume") << 12 << 0 << 1.0;
        QTest::newRow("full volume") << 10 << 0 << 1.0;
        QTest::newRow("one step down") << 9 << -1000 << std::pow(10.0, -10.0 / 20);
        QTest::newRow("half way") << 5 << -5000 << std::pow(10.0, -50.0 / 20);
        QTest::newRow("silence") << 0 << -10000 << 0.0;
        QTest::newRow("below range is silence") << -3 << -10000 << 0.0;
    }

    void volume() {
        QFETCH(int, level);
        QFETCH(int, hundredths);
        QFETCH(double, linear);
        QCOMPARE(VolumeHundredths(level), hundredths);
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        player_->AudioOutput()->setVolume(0.5f);
        QCOMPARE(player_->SetVolumeLevel(level), 1);
        QVERIFY2(std::abs(player_->AudioOutput()->volume() - linear) < 1e-4,
                 qPrintable(QString::number(player_->AudioOutput()->volume())));
    }

    void seekUnits_data() {
        QTest::addColumn<qint64>("durationSeconds");
        QTest::addColumn<int>("pos");
        QTest::addColumn<qint64>("units");
        // 100/120 in single precision lies a little below 5/6, so targets land just after.
        QTest::newRow("half of 120 s") << qint64(120) << 50 << qint64(600000014);
        QTest::newRow("end of 120 s") << qint64(120) << 100 << qint64(1200000028);
        QTest::newRow("start") << qint64(120) << 0 << qint64(0);
        QTest::newRow("33 % of 7 s") << qint64(7) << 33 << qint64(23100000);
        QTest::newRow("clip under a second") << qint64(0) << 50 << qint64(0);
        QTest::newRow("nothing rendered yet") << qint64(-1) << 50 << qint64(0);
        QTest::newRow("nothing rendered, at 0") << qint64(-1) << 0 << qint64(0);
    }

    void seekUnits() {
        QFETCH(qint64, durationSeconds);
        QFETCH(int, pos);
        QFETCH(qint64, units);
        // -1: a player that never rendered, whose units per second are still zero.
        CMediaPlayer player;
        player.unitsPerSecond = durationSeconds < 0 ? 0.0f : UnitsPerSecond(durationSeconds);
        QCOMPARE(SeekUnits(pos, player.unitsPerSecond), units);
        QCOMPARE(player.SecondsAtPercent(pos), static_cast<int32_t>(units / 10000000));
    }

    void missingDecoder_data() {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("message");
        QTest::newRow("no AAC decoder")
            << false << true << "Failed to Create LAVAudioDecoder Filter";
        QTest::newRow("no H.264 decoder")
            << true << false << "Failed to Create LAVVideoDecoder Filter";
        QTest::newRow("neither: audio is checked first")
            << false << false << "Failed to Create LAVAudioDecoder Filter";
    }

    void missingDecoder() {
        QFETCH(bool, audio);
        QFETCH(bool, video);
        QFETCH(QString, message);
        SetDecoderCheck(
            [=](DecoderKind kind) { return kind == DecoderKind::Audio ? audio : video; });
        QCOMPARE(player_->BuildGraph(form_.get()), -1);
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(QString::fromStdString(messages_[0].text), message);
        QCOMPARE(messages_[0].caption, std::string("Error"));

        // Every graph build fails again; nothing plays, nothing moves.
        const std::string sample = (kSamples + "/REC0004.MOV").toStdString();
        QCOMPARE(player_->OpenMedia(sample), -1);
        QCOMPARE(messages_.size(), size_t{2});
        qobject_cast<QLabel*>(GetDlgItem(form_.get(), kTimeTextId))->setText("untouched");
        QCOMPARE(player_->TogglePause(), 1);
        QCOMPARE(player_->StopMedia(), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(TimeText(), QString("untouched"));
        QCOMPARE(player_->PlaceVideoWindow(), 0);
        QCOMPARE(player_->HandleGraphEvents(), 0);
        QCOMPARE(messages_.back().text, std::string("MediaEventEx interface error"));
        QCOMPARE(messages_.back().caption, std::string("error"));
    }

    void placeVideoWindow_data() {
        QTest::addColumn<bool>("page");
        QTest::addColumn<bool>("area");
        QTest::addColumn<int>("result");
        QTest::newRow("on the video page") << true << true << 1;
        QTest::newRow("no video page") << false << true << 0;
        QTest::newRow("page without video area") << true << false << 0;
    }

    void placeVideoWindow() {
        QFETCH(bool, page);
        QFETCH(bool, area);
        QFETCH(int, result);
        if (!page)
            theApp().videoPage = nullptr;
        if (!area)
            delete GetDlgItem(videoPage_.get(), kVideoAreaId);
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->PlaceVideoWindow(), result);
        CVideoWindow* video = player_->VideoWindow();
        if (result == 0) {
            QVERIFY(video == nullptr);
            return;
        }
        QCOMPARE(video->parentWidget(), videoPage_.get());
        const QSize areaSize = GetDlgItem(videoPage_.get(), kVideoAreaId)->size();
        QCOMPARE(video->geometry(), QRect(QPoint(0, 0), areaSize));
        QVERIFY(!video->isHidden());
        player_->ReleaseGraph();
        QVERIFY(player_->VideoWindow() == nullptr);
        QVERIFY(video->isHidden());
        // The next player takes the same window.
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->VideoWindow(), video);
        QVERIFY(!video->isHidden());
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
        const QString clip = CopyClip(name);
        QVERIFY(!clip.isEmpty());
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        GetDlgItem(form_.get(), kPlayButtonId)->setEnabled(false);

        QCOMPARE(player_->OpenMedia(clip.toStdString()), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Running);
        QVERIFY(player_->playing);
        QCOMPARE(qobject_cast<QLabel*>(GetDlgItem(form_.get(), kPathLineId))->text(), clip);
        QVERIFY(GetDlgItem(form_.get(), kPlayButtonId)->isEnabled());
        QCOMPARE(player_->VideoWindow()->parentWidget(), videoPage_.get());

        QVERIFY(WaitLoaded());
        QCOMPARE(player_->durationSeconds, durationSeconds);
        if (durationSeconds == 0)
            QCOMPARE(player_->TickPosition(), 2);

        // The end arrives as a completion event that the owner hands back to the player.
        QTRY_VERIFY_WITH_TIMEOUT(form_->notifications > 0, 15000);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QVERIFY(!player_->playing);
        QCOMPARE(player_->position, 0);
        QCOMPARE(TimeText(), QString("00:00:00 / 00:00:00"));
        QCOMPARE(Progress(), 0);
        QCOMPARE(Slider()->GetDrawPos(), 0);
        QCOMPARE(player_->TickPosition(), 0);  // the timer runs on, its ticks do nothing
        QVERIFY(messages_.empty());
    }

    void countsSecondsWhilePlaying() {
        const QString clip = kSamples + "/REC0004.MOV";
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->OpenMedia(clip.toStdString()), 1);
        // The picture reaches the video window (opening made a new one) on the video page.
        int frames = 0;
        QSize frameSize;
        const QMetaObject::Connection counting =
            connect(player_->VideoWindow()->videoSink(), &QVideoSink::videoFrameChanged, this,
                    [&](const QVideoFrame& frame) {
                        ++frames;
                        frameSize = frame.size();
                    });
        // The sink outlives this function when a check fails; stop counting into it then.
        const auto stopCounting = qScopeGuard([&] { disconnect(counting); });
        QVERIFY(WaitLoaded());
        QCOMPARE(player_->durationSeconds, qint64(20));
        QTRY_COMPARE_WITH_TIMEOUT(TimeText(), QString("00:00:02 / 00:00:20"), 5000);
        QCOMPARE(Progress(), 10);
        QCOMPARE(Slider()->GetDrawPos(), 10);
        QVERIFY2(frames >= 10, qPrintable(QString::number(frames)));
        QCOMPARE(frameSize, QSize(320, 180));
    }

    void pauseResumeStop() {
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->OpenMedia((kSamples + "/REC0004.MOV").toStdString()), 1);
        QVERIFY(WaitLoaded());
        QMediaPlayer* graph = player_->Graph();
        QTRY_COMPARE(graph->playbackState(), QMediaPlayer::PlayingState);

        QCOMPARE(player_->TogglePause(), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Paused);
        QCOMPARE(graph->playbackState(), QMediaPlayer::PausedState);
        QCOMPARE(player_->TickPosition(), 0);
        QCOMPARE(player_->TogglePause(), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Running);
        QCOMPARE(graph->playbackState(), QMediaPlayer::PlayingState);
        QCOMPARE(player_->TickPosition(), 1);
        QCOMPARE(TimeText(), QString("00:00:01 / 00:00:20"));

        // Stopping a paused clip resets the form but leaves the backend paused.
        QCOMPARE(player_->TogglePause(), 1);
        QCOMPARE(player_->StopMedia(), 1);
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(graph->playbackState(), QMediaPlayer::PausedState);
        QCOMPARE(TimeText(), QString("00:00:00 / 00:00:00"));
        QCOMPARE(player_->position, 0);
    }

    void seeksInClip() {
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->OpenMedia((kSamples + "/REC0001.MOV").toStdString()), 1);
        QVERIFY(WaitLoaded());
        QCOMPARE(player_->durationSeconds, qint64(40));
        // Asked at once: the backend cannot seek yet and takes it when it can.
        QCOMPARE(player_->SeekToPercent(50), 1);
        QTRY_VERIFY2(std::abs(player_->Graph()->position() - 20000) < 1500,
                     qPrintable(QString::number(player_->Graph()->position())));
        QCOMPARE(player_->SeekToPercent(25), 1);
        QTRY_VERIFY2(std::abs(player_->Graph()->position() - 10000) < 1500,
                     qPrintable(QString::number(player_->Graph()->position())));
    }

    void renderFailures_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("not a clip") << QByteArray(4000, 'x');
    }

    void renderFailures() {
        QFETCH(QByteArray, content);
        const QString path = tmp_->filePath("broken.MOV");
        if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QCOMPARE(player_->BuildGraph(form_.get()), 0);
        QCOMPARE(player_->OpenMedia(path.toStdString()), 1);
        QTRY_COMPARE(messages_.size(), size_t{1});
        QCOMPARE(messages_[0].text, std::string("Failed to add RenderFile to graph"));
        QCOMPARE(player_->GetMediaState(), MediaState::Stopped);
        QCOMPARE(player_->TickPosition(), 0);
        QTest::qWait(200);
        QCOMPARE(messages_.size(), size_t{1});  // one message, however many backend errors
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
