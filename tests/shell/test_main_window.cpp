#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>
#include <cstdlib>

#include "map/map_dlg.h"
#include "playback/control_form.h"
#include "shell/main_dialog.h"
#include "shell/video_page.h"
#include "tests/support/fixture.h"

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<CVantrailDlg> dlg_;

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

    // Panels take the top 24 and bottom 40 rows: the window fills the rest, and the pages
    // its client area.
    void windowFitsTheScreensFreeArea() {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        QVERIFY(x11 != nullptr);
        xcb_connection_t* c = x11->connection();
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect free = screen->geometry().adjusted(0, 24, 0, -40);
        constexpr char kWorkArea[] = "_NET_WORKAREA";
        const auto atom = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, false, sizeof kWorkArea - 1, kWorkArea), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const uint32_t area[] = {uint32_t(free.x()), uint32_t(free.y()), uint32_t(free.width()),
                                 uint32_t(free.height())};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL, 32, 4,
                            area);
        xcb_flush(c);
        QTRY_COMPARE(screen->availableGeometry(), free);

        CVantrailDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        xcb_delete_property(c, root, atom->atom);
        std::free(atom);
        QCOMPARE(dialog.frameGeometry(), free);
        QCOMPARE(dialog.ControlForm()->geometry().bottom(), dialog.rect().bottom());
    }

    void videoPageEdgeIsTheSplitter_data() {
        QTest::addColumn<bool>("bottom");
        QTest::newRow("bottom edge down") << true;
        QTest::newRow("right edge right") << false;
    }
    void videoPageEdgeIsTheSplitter() {
        QFETCH(bool, bottom);
        dlg_->VideoPage()->PlacePages();  // from the placing the video page gives the others
        QWidget* page = dlg_->VideoPage();
        // The page below moves down, the one to the right moves right; their far edges stay.
        QWidget* moved = bottom ? static_cast<QWidget*>(dlg_->MapWindow()) : dlg_->ControlForm();
        const QRect expected = moved->geometry().adjusted(bottom ? 0 : 100, bottom ? 100 : 0, 0, 0);
        const QPoint from = bottom ? QPoint(page->width() / 2, page->height() - 1)
                                   : QPoint(page->width() - 1, page->height() / 2);
        const QPoint to = from + (bottom ? QPoint(0, 100) : QPoint(100, 0));
        for (auto [type, pos] : {std::pair{QEvent::MouseButtonPress, from},
                                 {QEvent::MouseMove, to},
                                 {QEvent::MouseButtonRelease, to}}) {
            QMouseEvent e(type, QPointF(pos), QPointF(page->mapToGlobal(pos)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(page, &e);
        }
        QCOMPARE(moved->geometry(), expected);
    }

    // Closing stops the player before the page it plays on goes, whatever it was doing,
    // and the modal run ends with the result that saves the folder.
    void closeWhilePlaying_data() {
        QTest::addColumn<int>("state");  // 0 playing, 1 paused, 2 stopped
        QTest::newRow("playing") << 0;
        QTest::newRow("paused") << 1;
        QTest::newRow("stopped") << 2;
    }
    void closeWhilePlaying() {
        QFETCH(int, state);
        const QStringList files{fx_->CopySample("REC0001.MOV", "a.MOV"),
                                fx_->CopySample("REC0001.nmea", "a.nmea")};
        for (int i = 0; i < 20; ++i) {
            CControlForm* form = dlg_->ControlForm();
            form->Recordings().SetFileDialog(
                [&](QWidget*, const QString&, const auto&) { return files; });
            form->Recordings().SelectRecordings();
            form->Recordings().SelectNext();
            form->Session().OpenRecording();
            form->Session().PlayPause();
            const auto player = [form] {
                return dynamic_cast<CMediaPlayer*>(form->Session().Player());
            };
            QTRY_VERIFY(player() != nullptr && player()->DurationKnown() && player()->Running());
            if (state == 1)
                form->Session().PlayPause();
            if (state == 2)
                form->Session().StopPlayback(true);
            QTimer::singleShot(0, dlg_.get(), &QWidget::close);
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
