#include <QLabel>
#include <QTest>
#include <QTimer>

#include "map/map_dlg.h"
#include "playback/control_form.h"
#include "playback/video_window.h"
#include "shell/full_screen_view.h"
#include "shell/main_dialog.h"
#include "shell/video_page.h"
#include "tests/support/play_rows.h"

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<CVantrailDlg> dlg_;

    // Plays REC0001 through the real player until it runs.
    void PlayClip() {
        fx_->CopySample("REC0001.MOV", "a.MOV");
        fx_->CopySample("REC0001.nmea", "a.nmea");
        PlayFirstRow(*dlg_->ControlForm(), *fx_, {"a.MOV", "a.nmea"});
        const auto player = [this] {
            return dynamic_cast<CMediaPlayer*>(dlg_->ControlForm()->Session().Player());
        };
        QTRY_VERIFY(player() != nullptr && player()->DurationKnown() && player()->Running());
    }
    static bool ShowsPicture(QWidget* w) {
        const QImage shot = w->grab().toImage();
        return QColor(shot.pixel(shot.width() / 8, shot.height() / 2)).lightness() > 40;
    }

    void MakeDialog() {
        dlg_ = std::make_unique<CVantrailDlg>();
        // As initialisation does for a screen whose client area is 1280 x 1000.
        dlg_->resize(1280, 1000);
        dlg_->Layout(1280, 1000);
        dlg_->show();
    }

private slots:
    void init() {
        fx_ = std::make_unique<TestFixture>();
        SetConnectionProbe([] { return false; });
        MakeDialog();
    }
    void cleanup() {
        dlg_.reset();
        SetConnectionProbe({});
        fx_.reset();
    }

    // The three pages side by side; Enter and Escape do not close. The map's browser view
    // arrives half a second after start; the window must keep its native window then, or a
    // close request sent to it meanwhile is lost.
    void windowAndItsPages() {
        QCOMPARE(dlg_->VideoPage()->geometry(), QRect(0, 0, 500, 500));
        QCOMPARE(dlg_->MapWindow()->geometry(), QRect(0, 508, 500, 500));
        QCOMPARE(dlg_->ControlForm()->geometry(), QRect(508, 0, 772, 1000));
        QTest::keyClick(dlg_.get(), Qt::Key_Escape);
        QTest::keyClick(dlg_.get(), Qt::Key_Return);
        QVERIFY(dlg_->isVisible());
        QCOMPARE(dlg_->result(), 0);
        const WId before = dlg_->winId();
        emit dlg_->MapWindow()->StartMapRequested();
        QTRY_VERIFY(dlg_->ControlForm()->Map().View() != nullptr);
        QTest::qWait(100);
        QCOMPARE(dlg_->winId(), before);
    }

    // The clip alone on the screen by a double-click and back by Escape, the main window as it
    // was: its native window, its pages, the picture's frames and the focus on the video page,
    // which a first click gave it.
    void fullScreenInAndOut() {
        dlg_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg_.get()));
        PlayClip();
        CVideoPage* page = dlg_->VideoPage();
        QTest::mouseClick(page->VideoWindow(), Qt::LeftButton, {}, QPoint(50, 50));
        QVERIFY(page->hasFocus());
        const WId window = dlg_->winId();
        const QList<QRect> pages{page->geometry(), dlg_->MapWindow()->geometry(),
                                 dlg_->ControlForm()->geometry()};
        QTest::mouseDClick(page->VideoWindow(), Qt::LeftButton, {}, QPoint(50, 50));
        CFullScreenView* view = dlg_->FullScreenView();
        QVERIFY(view != nullptr && view->isVisible() && view->isFullScreen());
        QVERIFY(QTest::qWaitForWindowActive(view));
        QTRY_VERIFY_WITH_TIMEOUT(ShowsPicture(view->Picture()), 5000);
        // The caption follows the clock.
        const QString caption = view->findChild<QLabel*>()->text();
        QVERIFY(caption.startsWith("a.MOV    00:00:"));
        QTRY_VERIFY_WITH_TIMEOUT(view->findChild<QLabel*>()->text() != caption, 3000);
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!view->isVisible());
        QCOMPARE(dlg_->winId(), window);
        QCOMPARE((QList<QRect>{page->geometry(), dlg_->MapWindow()->geometry(),
                               dlg_->ControlForm()->geometry()}),
                 pages);
        QTRY_VERIFY(page->hasFocus());
        page->VideoWindow()->Clear();
        QTRY_VERIFY_WITH_TIMEOUT(ShowsPicture(page->VideoWindow()), 5000);
    }

    // Closing stops the player before the page it plays on goes, whatever it was doing,
    // and the modal run ends with the result that saves the folder.
    void closeWhilePlaying_data() {
        QTest::addColumn<int>("state");  // 0 playing, 1 paused, 2 stopped, 3 full screen
        QTest::newRow("playing") << 0;
        QTest::newRow("paused") << 1;
        QTest::newRow("stopped") << 2;
        QTest::newRow("full screen, closed there") << 3;
    }
    void closeWhilePlaying() {
        QFETCH(int, state);
        for (int i = 0; i < 20; ++i) {
            PlayClip();
            CControlForm* form = dlg_->ControlForm();
            if (state == 1)
                form->Session().PlayPause();
            if (state == 2)
                form->Session().StopPlayback(true);
            if (state == 3)
                dlg_->SetFullScreen(true);
            QWidget* closed =
                state == 3 ? static_cast<QWidget*>(dlg_->FullScreenView()) : dlg_.get();
            QTimer::singleShot(0, closed, &QWidget::close);
            QCOMPARE(dlg_->exec(), int(QDialog::Rejected));
            QVERIFY(theApp().SaveFolderPath());
            dlg_.reset();
            QCOMPARE(fx_->Read("um_config.ini"),
                     "[UM_CONFIG]\nFOLDER_PATH=" + fx_->Dir().toUtf8() + "\n");
            MakeDialog();
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
