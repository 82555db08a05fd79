#include "shell/main_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QQuickWidget>
#include <QResizeEvent>
#include <QScreen>

#include "app/message.h"
#include "map/map_dlg.h"
#include "playback/control_form.h"
#include "playback/playback_commands.h"
#include "playback/video_window.h"
#include "resources/resource_ids.h"
#include "shell/full_screen_view.h"
#include "shell/video_page.h"
#include "skin/dialog_template.h"
#include "trip/trip_tools.h"

namespace {
constexpr int kMainTemplate = 102;
constexpr int kAboutTemplate = 100;
constexpr int kAboutString = 101;
constexpr int kIcon = 128;
constexpr int kBlackBitmap = 218;
constexpr int kFormWidth = 772;
constexpr int kLeftColumnReserve = 780;  // the form's width and the gap beside it
constexpr const char* kFullScreenShortcut = "F11";

QIcon AppIcon() {
    return QIcon(BitmapPath(kIcon));
}
}  // namespace

CVantrailDlg::CVantrailDlg(QWidget* parent) : CBitmapDialog(parent) {
    icon_ = AppIcon();
    InitDialog();
}

CVantrailDlg::~CVantrailDlg() {
    // The form's player feeds the video page's picture: it goes first.
    controlForm_.reset();
    mapWindow_.reset();
    videoPage_.reset();
}

void CVantrailDlg::InitDialog() {
    const auto tmpl = LoadDialogTemplate(kMainTemplate);
    if (tmpl) {
        setWindowTitle(tmpl->caption);
        resize(tmpl->PixelSize());
    }
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(icon_);

    FitFrameToScreen();
    initialised_ = true;

    // The map's browser view composes through the scene graph. A shown window that meets its
    // first such child gets a new native window, and a close request sent to the old one is
    // lost; a hidden one from the start gives the window its final kind before it is shown.
    (new QQuickWidget(this))->hide();

    controlForm_ = std::make_unique<CControlForm>(this);
    mapWindow_ = std::make_unique<CMapDlg>(this);
    videoPage_ = std::make_unique<CVideoPage>(this);
    Wire();
    Layout(width(), height());

    for (QWidget* page :
         {static_cast<QWidget*>(mapWindow_.get()), static_cast<QWidget*>(controlForm_.get()),
          static_cast<QWidget*>(videoPage_.get())}) {
        page->hide();
        page->show();
    }
    SetBackgroundMode(0);
    LoadBackground(kBlackBitmap);
    update();
}

void CVantrailDlg::done(int result) {
    SetFullScreen(false);
    // The player feeds the video page's picture: it stops before any page can go.
    controlForm_->Session().Shutdown();
    CBitmapDialog::done(result);
}

void CVantrailDlg::Wire() {
    CControlForm* form = controlForm_.get();
    CMapDlg* map = mapWindow_.get();
    CVideoPage* page = videoPage_.get();
    form->SetVideoWindow(page->VideoWindow());
    trip_ = new CTripTools(*form, this);
    commands_ = new CPlaybackCommands(*form, this);
    commands_->Watch(page);
    fullScreen_ = new QAction(tr("Full screen"), this);
    fullScreen_->setShortcut(QKeySequence(QString::fromLatin1(kFullScreenShortcut)));
    fullScreen_->setShortcutContext(Qt::WindowShortcut);
    addAction(fullScreen_);
    connect(fullScreen_, &QAction::triggered, this, [this] { SetFullScreen(!FullScreen()); });
    connect(page, &CVideoPage::FullScreenRequested, this, [this] { SetFullScreen(true); });
    connect(map, &CMapDlg::StartMapRequested, form, [form, map] { form->Map().StartMap(map); });
    connect(map, &CMapDlg::Resized, form, [form] { form->Map().ResizeMap(); });
    // The form's width leaves the rest of the window to the video page, and the video page's
    // size places the other two pages.
    connect(form, &CControlForm::WidthChanged, page,
            [this, page](int w) { page->setGeometry(0, 0, width() - w, page->height()); });
    connect(page, &CVideoPage::Placed, this, &CVantrailDlg::PlaceBesideVideoPage);
}

void CVantrailDlg::PlaceBesideVideoPage(QSize page) {
    // The pages fill the client area; a window manager's frame is outside it.
    controlForm_->setGeometry(page.width() + kPageGap, 0, width() - page.width(), height());
    mapWindow_->setGeometry(0, page.height() + kPageGap, page.width() + kPageGap,
                            height() - page.height());
}

void CVantrailDlg::FitFrameToScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    framed_ = !frame.isNull();
    // A window's position is that of its frame; its size is that of its client area.
    move(area.topLeft());
    resize(area.size() - frame);
}

void CVantrailDlg::OpenPaths(const QStringList& paths) {
    CRecordingList& list = controlForm_->Recordings();
    list.AddDroppedRecordings(paths);
    // Row 0 (the refill left no row marked), then what a double-click does.
    if (list.SelectNext() == 0) {
        controlForm_->Session().OpenRecording();
        controlForm_->Session().PlayPause();
    }
}

void CVantrailDlg::Layout(int cx, int cy) {
    if (!initialised_ || !videoPage_)
        return;
    videoPage_->Move(QRect(0, 0, cx - kLeftColumnReserve, cy / 2));
    mapWindow_->setGeometry(0, cy / 2 + kPageGap, cx - kLeftColumnReserve, cy / 2);
    controlForm_->setGeometry(cx - kFormWidth, 0, kFormWidth, cy);
}

void CVantrailDlg::resizeEvent(QResizeEvent* event) {
    // The resize made while the window was still hidden arrives at its first showing, without
    // an old size; initialisation laid the pages out for it already.
    if (initialised_ && videoPage_ && event->oldSize().isValid()) {
        videoPage_->Move(
            QRect(0, 0, event->size().width() - kLeftColumnReserve, event->size().height() / 2));
    }
    CBitmapDialog::resizeEvent(event);
}

void CVantrailDlg::moveEvent(QMoveEvent* event) {
    CBitmapDialog::moveEvent(event);
    // A window manager frames the window some time after it is shown: the title bar and
    // borders it adds must fit on the screen too.
    if (initialised_ && !framed_ && frameGeometry() != geometry())
        FitFrameToScreen();
}

void CVantrailDlg::keyPressEvent(QKeyEvent* event) {
    // Keys neither move the focus nor close the window (Enter and Escape included).
    event->accept();
}

void CVantrailDlg::contextMenuEvent(QContextMenuEvent* event) {
    ShowMenu(event->globalPos());
}

void CVantrailDlg::ShowMenu(const QPoint& at) {
    // X11 gives applications no window menu of their own; the about item lives here.
    QMenu menu(this);
    commands_->AddMenuItems(menu);
    menu.addAction(fullScreen_);
    menu.addSeparator();
    trip_->AddMenuItems(menu);
    menu.addSeparator();
    menu.addAction(tr("Keys..."), this, &CVantrailDlg::ShowKeys);
    if (const QString text = LoadResourceString(kAboutString); !text.isEmpty())
        menu.addAction(text, this, &CVantrailDlg::ShowAboutBox);
    menu.exec(at);
}

void CVantrailDlg::ShowKeys() {
    const QString keys = tr("Click the video for its keys:\n") + CPlaybackCommands::KeysText() +
                         kFullScreenShortcut + tr("\tFull screen (or double-click the video)\n") +
                         tr("Esc\tBack from full screen (or double-click)\n") +
                         CTripTools::kStillShortcut + tr("\tSave still\n");
    QString rows;
    for (const QString& line : keys.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList cells = line.split(u'\t');
        rows += cells.size() < 2
                    ? QStringLiteral("<tr><td colspan=2>%1</td></tr>").arg(cells[0])
                    : QStringLiteral("<tr><td><b>%1</b>&nbsp;&nbsp;</td><td>%2</td></tr>")
                          .arg(cells[0].toHtmlEscaped(), cells[1].toHtmlEscaped());
    }
    // Not modal: playback goes on while it is open.
    auto* box =
        new QMessageBox(QMessageBox::Information, QString::fromLatin1(kAppTitle),
                        QStringLiteral("<table>%1</table>").arg(rows), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool CVantrailDlg::FullScreen() const {
    return fullScreenView_ != nullptr && fullScreenView_->isVisible();
}

void CVantrailDlg::SetFullScreen(bool on) {
    if (on == FullScreen())
        return;
    CVideoWindow* picture = videoPage_->VideoWindow();
    if (!on) {
        picture->ShowFramesIn(nullptr);
        fullScreenView_->hide();
        activateWindow();
        videoPage_->setFocus();
        return;
    }
    if (fullScreenView_ == nullptr) {
        fullScreenView_ = new CFullScreenView(controlForm_->Session(), this);
        commands_->Watch(fullScreenView_);
        fullScreenView_->addAction(fullScreen_);
        trip_->AddShortcutsTo(fullScreenView_);
        connect(fullScreenView_, &CFullScreenView::LeaveRequested, this,
                [this] { SetFullScreen(false); });
        connect(fullScreenView_, &CFullScreenView::CloseRequested, this, &QWidget::close);
        connect(fullScreenView_, &CFullScreenView::MenuRequested, this, &CVantrailDlg::ShowMenu);
    }
    picture->ShowFramesIn(fullScreenView_->Picture());
    // On the screen of the main window, also where no window manager places it.
    if (const QScreen* where = screen())
        fullScreenView_->setGeometry(where->geometry());
    fullScreenView_->showFullScreen();
    fullScreenView_->raise();
    fullScreenView_->activateWindow();
    fullScreenView_->setFocus();
}

void CVantrailDlg::ShowAboutBox() {
    QDialog about(this);
    if (const auto tmpl = LoadDialogTemplate(kAboutTemplate)) {
        about.setWindowTitle(tmpl->caption);
        about.setFixedSize(tmpl->PixelSize());
        CreateDialogControls(&about, *tmpl,
                             [this](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                 if (c.kind != QLatin1String("icon"))
                                     return nullptr;
                                 auto* label = new QLabel(parent);
                                 label->setPixmap(icon_.pixmap(32, 32));
                                 return label;
                             });
        if (auto* ok = qobject_cast<QPushButton*>(GetDlgItem(&about, 1))) {
            ok->setDefault(true);
            connect(ok, &QPushButton::clicked, &about, &QDialog::accept);
        }
    }
    about.exec();
}
