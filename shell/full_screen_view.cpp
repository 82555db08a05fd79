#include "shell/full_screen_view.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "playback/playback_session.h"
#include "playback/video_window.h"

namespace {
// The caption's letters grow with the screen, from a readable least size.
constexpr int kCaptionLeastPx = 14;
constexpr int kScreenLinesPerCaption = 60;
}  // namespace

CFullScreenView::CFullScreenView(PlaybackSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      picture_(new CVideoWindow(this)),
      caption_(new QLabel(this)) {
    setWindowTitle(parent != nullptr ? parent->windowTitle() : QString());
    setFocusPolicy(Qt::StrongFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, QColor(226, 229, 233));
    setPalette(black);
    setAutoFillBackground(true);
    caption_->setContentsMargins(8, 2, 8, 4);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture_, 1);
    layout->addWidget(caption_);
    connect(&session, &PlaybackSession::ClockChanged, this, &CFullScreenView::ShowCaption);
    connect(&session, &PlaybackSession::RecordingOpened, this, &CFullScreenView::ShowCaption);
    ShowCaption();
}

void CFullScreenView::ShowCaption() {
    const QString row = QFileInfo(QString::fromStdString(session_.TrackRow())).fileName();
    const QString time = QString::fromStdString(session_.TimeText());
    caption_->setText(row.isEmpty() ? time : row + QStringLiteral("    ") + time);
}

void CFullScreenView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        emit LeaveRequested();
    event->accept();
}

void CFullScreenView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit LeaveRequested();
}

void CFullScreenView::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit CloseRequested();
}

void CFullScreenView::contextMenuEvent(QContextMenuEvent* event) {
    emit MenuRequested(event->globalPos());
}

void CFullScreenView::resizeEvent(QResizeEvent* event) {
    QFont font = caption_->font();
    font.setPixelSize(std::max(kCaptionLeastPx, height() / kScreenLinesPerCaption));
    caption_->setFont(font);
    QWidget::resizeEvent(event);
}
