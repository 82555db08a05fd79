#include "trip/trip_tools.h"

#include <QAction>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include "app/message.h"
#include "playback/control_form.h"
#include "playback/video_window.h"
#include "telemetry/track_source.h"
#include "track/track.h"
#include "trip/events_panel.h"
#include "trip/evidence_still.h"
#include "trip/log_export.h"

namespace {
QString FileName(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).fileName();
}
}  // namespace

CTripTools::CTripTools(CControlForm& form, QWidget* window)
    : QObject(window),
      form_(form),
      window_(window),
      events_(new CEventsPanel(form)),
      still_(new QAction(tr("Save still"), window)),
      listChanged_(new QTimer(this)) {
    still_->setShortcut(QKeySequence(QString::fromLatin1(kStillShortcut)));
    still_->setShortcutContext(Qt::WindowShortcut);
    window->addAction(still_);
    connect(still_, &QAction::triggered, this, &CTripTools::SaveStill);

    connect(&form.Session(), &PlaybackSession::RecordingOpened, this,
            &CTripTools::OnRecordingOpened);
    connect(&trip_, &CTripLoader::Loaded, this, &CTripTools::ShowTripRoutes);

    // Rows come one at a time: the trip follows once the list has settled.
    listChanged_->setSingleShot(true);
    listChanged_->setInterval(0);
    connect(listChanged_, &QTimer::timeout, this, [this] { trip_.SetLogs(ListedSources()); });
    connect(&form, &CControlForm::ListChanged, listChanged_, qOverload<>(&QTimer::start));
}

CTripTools::~CTripTools() = default;

std::vector<std::string> CTripTools::ListedSources() const {
    std::vector<std::string> sources;
    for (const std::string& row : form_.Recordings().RowPaths()) {
        const std::string source = ChooseTrackSource(row).path;
        std::error_code error;
        if (std::filesystem::is_regular_file(source, error) &&
            std::find(sources.begin(), sources.end(), source) == sources.end())
            sources.push_back(source);
    }
    return sources;
}

void CTripTools::OnRecordingOpened() {
    const TrackEntry* track = form_.Session().Track();
    const std::vector<DrivingEvent> events = FindDrivingEvents(track);
    events_->ShowEvents(events, form_.Session().TrackPath());

    // After the route: the page draws the markers over it.
    std::vector<MapEvent> marks;
    for (const DrivingEvent& e : events) {
        const TrackSample& s = e.entry->sample;
        // An event without a fix has no place on the map.
        if (s.valid <= 0)
            continue;
        MapEvent mark{
            0,
            0,
            DrivingEventName(e.kind),
            e.peak_g,
            e.entry->index,
            QString::asprintf("%02d:%02d:%02d", s.hour, s.minute, s.second).toStdString()};
        NmeaToDegrees(s.lat, s.lon, &mark.lat, &mark.lon);
        marks.push_back(mark);
    }
    form_.Map().ShowEvents(marks);
    // The current route changed; a log written since is loaded again.
    trip_.SetLogs(ListedSources());
}

void CTripTools::ShowTripRoutes() {
    std::vector<MapRoute> routes;
    int current = -1;
    for (const TripLog& log : trip_.Logs()) {
        if (log.path == form_.Session().TrackPath())
            current = static_cast<int>(routes.size());
        routes.push_back(log.route);
    }
    form_.Map().ShowTripRoutes(routes, current);
}

void CTripTools::AddMenuItems(QMenu& menu) {
    menu.addAction(still_);
    const TrackEntry* track = form_.Session().Track();
    for (const auto& [kind, text] : {std::pair{LogFormat::Gpx, tr("Export GPX...")},
                                     std::pair{LogFormat::Csv, tr("Export CSV...")},
                                     std::pair{LogFormat::Kml, tr("Export KML...")}}) {
        QAction* item = menu.addAction(text, this, [this, format = kind] {
            ExportLog(window_, format, form_.Session().Track(), form_.Session().TrackPath());
        });
        item->setEnabled(track != nullptr);
    }
    menu.addAction(tr("Trip summary..."), this, &CTripTools::ShowTripSummary);
}

void CTripTools::AddShortcutsTo(QWidget* window) {
    window->addAction(still_);
}

void CTripTools::SaveStill() {
    const CVideoWindow* picture = form_.VideoWindow();
    SaveEvidenceStill(form_.Recordings(), form_.Session(),
                      picture != nullptr && picture->Swapped());
}

QString CTripTools::TripSummaryText() const {
    std::vector<TrackSummary> parts;
    const TripLog* current = nullptr;
    for (const TripLog& log : trip_.Logs()) {
        parts.push_back(log.summary);
        if (log.path == form_.Session().TrackPath())
            current = &log;
    }
    QString text = tr("Trip: %1 logs\n").arg(parts.size()) +
                   QString::fromStdString(FormatSummary(CombineSummaries(parts)));
    if (current != nullptr) {
        text += tr("\nThis recording: %1\n").arg(FileName(current->path)) +
                QString::fromStdString(FormatSummary(current->summary));
    }
    return text;
}

void CTripTools::ShowTripSummary() {
    // Not modal: playback goes on while it is open.
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kAppTitle),
                                TripSummaryText(), QMessageBox::Ok, window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setModal(false);
    box->show();
}
