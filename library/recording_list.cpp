#include "library/recording_list.h"

#include <sys/stat.h>
#include <algorithm>
#include <climits>
#include <ctime>
#include <unordered_set>

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QUrl>

#include <locale.h>

#include "app/app_state.h"
#include "app/history_log.h"
#include "telemetry/track_source.h"
#include "track/track.h"

namespace {

constexpr int kSelectionBufferBytes = 26101;

// "*.[mM][oO][vV]": the extension in either letter case.
QString AnyCase(const QString& extension) {
    QString pattern = QStringLiteral("*.");
    for (const QChar c : extension)
        pattern += QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper());
    return pattern;
}

// A report-style list with grid lines: each cell gets its right and bottom edge drawn.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

    // The style makes a row just as tall as a line of text, so the grid line below would
    // cover underscores and descenders: a pixel of room above the text and one below it.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), option.fontMetrics.height() + 2));
        return size;
    }
};

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const QList<FileFilter>& RecordingFileFilters() {
    static const QList<FileFilter> filters{
        {QStringLiteral("MOV Files (*.mov)"), {AnyCase("mov")}},
        {QStringLiteral("MP4 Files (*.mp4)"), {AnyCase("mp4")}},
        {QStringLiteral("TS Files (*.ts)"), {AnyCase("ts")}},
        {QStringLiteral(" NMEA Files (*.nmea)"), {AnyCase("nmea")}},
        {QStringLiteral("GPS Files (*.gps)"), {AnyCase("gps")}},
        {QStringLiteral("ALL Files (*.mov;*.mp4;*.ts;*.nmea;*.gps)"),
         {AnyCase("mov"), AnyCase("mp4"), AnyCase("ts"), AnyCase("nmea"), AnyCase("gps")}},
    };
    return filters;
}

std::optional<QStringList> OpenFilesDialog(QWidget* parent, const QString& startFolder,
                                           const QList<FileFilter>& filters) {
    QStringList nameFilters;
    for (const FileFilter& f : filters)
        nameFilters << f.label + QStringLiteral(" (") + f.patterns.join(' ') + ')';
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The patterns are an implementation detail; the type box shows the labels alone.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters);
    if (!startFolder.isEmpty())
        dialog.setDirectory(startFolder);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFiles();
}

bool SelectionFitsBuffer(const QStringList& paths) {
    if (paths.isEmpty())
        return true;
    qsizetype bytes = 0;
    if (paths.size() == 1) {
        bytes = paths.front().toUtf8().size() + 2;
    } else {
        // Folder once, then the names: all picked files share one folder.
        const QString first = paths.front();
        bytes = first.left(first.lastIndexOf('/')).toUtf8().size() + 1;
        for (const QString& p : paths) bytes += p.mid(p.lastIndexOf('/') + 1).toUtf8().size() + 1;
        bytes += 1;
    }
    return bytes <= kSelectionBufferBytes;
}

QStringList DroppedPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr)
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

FileKind KindOfFile(const std::string& path) {
    const int type = FileTypeFromExtension(path.c_str());
    return type >= 1 && type <= 5 ? static_cast<FileKind>(type) : FileKind::Unknown;
}

const char* FileTypeText(FileKind kind) {
    switch (kind) {
        case FileKind::Mov:
            return "MOV";
        case FileKind::Ts:
            return "TS";
        case FileKind::Nmea:
            return "NMEA";
        case FileKind::Mp4:
            return "MP4";
        case FileKind::Gps:
            return "GPS";
        case FileKind::Unknown:
            break;
    }
    return "UNKNOW";
}

int64_t FileWriteTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_mtime);
}

std::string FormatListDate(int64_t fileTime) {
    if (fileTime <= 0 || fileTime > INT32_MAX)
        return {};
    const time_t seconds = static_cast<time_t>(fileTime);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return {};
    // English month names and AM/PM whatever locale the toolkit has switched to.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char time[64] = {};
    char date[64] = {};
    strftime_l(time, sizeof time, "%I:%M:%S %p, ", &local, cLocale);
    strftime_l(date, sizeof date, "%d,%B,%Y", &local, cLocale);
    std::string text = time;
    if (!text.empty() && text.front() == '0')
        text.erase(0, 1);
    return text + date;
}

std::string LogPathFor(const std::string& path, FileKind kind) {
    if (IsLog(kind))
        return path;
    if (!IsClip(kind))
        return {};
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string{} : path.substr(0, dot + 1) + "nmea";
}

QStringList WithoutPairedRearClips(const QStringList& paths) {
    std::unordered_set<std::string> rears;
    for (const QString& path : paths) {
        const std::string p = path.toStdString();
        if (IsClip(KindOfFile(p)))
            rears.insert(RearClipOf(p));
    }
    QStringList rows;
    for (const QString& path : paths) {
        if (rears.count(path.toStdString()) == 0)
            rows << path;
    }
    return rows;
}

QStringList OneRowPerDrive(const QStringList& paths) {
    std::unordered_set<std::string> playedByClips;
    for (const QString& path : paths) {
        const std::string p = path.toStdString();
        if (IsClip(KindOfFile(p)))
            playedByClips.insert(ChooseTrackSource(p).path);
    }
    QStringList rows;
    for (const QString& path : WithoutPairedRearClips(paths)) {
        const std::string p = path.toStdString();
        if (!IsLog(KindOfFile(p)) || playedByClips.count(p) == 0)
            rows << path;
    }
    return rows;
}

CRecordingList::CRecordingList(QTreeWidget* list, QLineEdit* folderBox, QWidget* dialogParent)
    : list_(list), folderBox_(folderBox), dialogParent_(dialogParent) {
    // The mark follows every row that becomes selected, by a click or by a command; it is
    // kept when the selection is cleared, as the playback commands expect.
    QObject::connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, list_,
                     [this](const QItemSelection& selected) {
                         if (!selected.indexes().isEmpty())
                             mark_ = selected.indexes().front().row();
                     });
}

void CRecordingList::InitListColumns() {
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {QStringLiteral("File Name"), QStringLiteral("File Type"), QStringLiteral("Date Time")});
    list_->setColumnWidth(0, 110);
    list_->setColumnWidth(1, 70);
    // The date text's width depends on the font: the column takes the widest one whole.
    const int margins = 2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const int widestDate =
        list_->fontMetrics().horizontalAdvance(QStringLiteral("12:00:00 AM, 30,September,2026"));
    list_->setColumnWidth(2, std::max(170, widestDate + margins));
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setSortingEnabled(false);
    list_->header()->setSectionsClickable(false);
    list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->header()->setStretchLastSection(false);
    list_->setItemDelegate(new GridLineDelegate(list_));
    // The playing row stays highlighted while the user works elsewhere.
    QPalette palette = list_->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list_->setPalette(palette);
    DeleteAllRows();
}

void CRecordingList::SelectRecordings() {
    ReadFolderBox();
    const std::optional<QStringList> chosen = fileDialog_(
        dialogParent_, QString::fromStdString(theApp().folderPath), RecordingFileFilters());
    if (chosen && SelectionFitsBuffer(*chosen)) {
        if (beforeRefill_)
            beforeRefill_();
        DeleteAllRows();
        int row = 0;
        for (const QString& path : WithoutPairedRearClips(*chosen)) {
            const std::string full = path.toStdString();
            InsertRow(row++, full, NameOf(full), KindOfFile(full));
        }
        if (!chosen->isEmpty()) {
            const std::string last = chosen->back().toStdString();
            folder_ = last.substr(0, last.size() - NameOf(last).size() - 1);
        }
    }
    theApp().folderPath = folder_;
    WriteFolderBox();
}

void CRecordingList::AddDroppedRecordings(const QStringList& paths) {
    if (beforeRefill_)
        beforeRefill_();
    ReadFolderBox();
    DeleteAllRows();
    const QStringList rows = WithoutPairedRearClips(paths);
    for (int i = 0; i < rows.size(); ++i) {
        std::string path = rows[i].toStdString();
        // A folder may come with a trailing '/'; it is the folder itself that was dropped.
        while (!path.empty() && path.back() == '/') path.pop_back();
        const std::string name = NameOf(path);
        if (const FileKind kind = KindOfFile(name); kind != FileKind::Unknown)
            InsertRow(i, path, name, kind);
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos)
            folder_ = path.substr(0, slash);
    }
    WriteFolderBox();
}

std::string CRecordingList::GetSelFilePath() const {
    QTreeWidgetItem* item = mark_ >= 0 && mark_ < RowCount() ? list_->topLevelItem(mark_) : nullptr;
    if (item == nullptr || item->text(0).isEmpty()) {
        WriteHistoryLog("GetSelFilePath => no selected file");
        return {};
    }
    return folder_ + "/" + item->text(0).toStdString();
}

void CRecordingList::SetFolder(const std::string& folder) {
    folder_ = folder;
    WriteFolderBox();
}

std::vector<std::string> CRecordingList::RowPaths() const {
    std::vector<std::string> paths;
    for (int row = 0; row < RowCount(); ++row)
        paths.push_back(folder_ + "/" + list_->topLevelItem(row)->text(0).toStdString());
    return paths;
}

int CRecordingList::RowCount() const {
    return list_->topLevelItemCount();
}

int CRecordingList::SelectNext() {
    return MoveSelection(true);
}

int CRecordingList::SelectPrevious() {
    return MoveSelection(false);
}

int CRecordingList::MoveSelection(bool forward) {
    const int count = RowCount();
    if (count == 0)
        return -1;
    const int mark = mark_;
    if (mark >= 0 && mark < count)
        list_->topLevelItem(mark)->setSelected(false);
    else
        list_->clearSelection();
    int next = forward ? mark + 1 : mark - 1;
    if (forward && next >= count)
        next = 0;
    if (!forward && next < 0)
        next = count - 1;
    QTreeWidgetItem* item = list_->topLevelItem(next);
    item->setSelected(true);
    list_->selectionModel()->setCurrentIndex(list_->indexFromItem(item),
                                             QItemSelectionModel::NoUpdate);
    mark_ = next;
    list_->setFocus();
    return next;
}

void CRecordingList::ReadFolderBox() {
    folder_ = folderBox_->text().toStdString();
}

void CRecordingList::WriteFolderBox() {
    folderBox_->setText(QString::fromStdString(folder_));
}

void CRecordingList::DeleteAllRows() {
    list_->clear();
    mark_ = -1;
}

void CRecordingList::InsertRow(int row, const std::string& path, const std::string& name,
                               FileKind kind) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(name));
    QString type = QString::fromLatin1(FileTypeText(kind));
    if (const std::string rear = IsClip(kind) ? RearClipOf(path) : std::string(); !rear.empty())
        type += QStringLiteral(" F+%1").arg(QChar(SplitClipChannel(rear).channel).toUpper());
    item->setText(1, type);
    item->setText(2, QString::fromStdString(FormatListDate(FileWriteTime(path))));
    list_->insertTopLevelItem(std::min(row, RowCount()), item);
}
