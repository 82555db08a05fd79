#pragma once
// The recording list of the control form: one row per picked or dropped file, the folder the
// files came from, and the selection that every playback command works on.

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QMimeData;
class QTreeWidget;
class QWidget;

struct FileFilter {
    QString label;         // the text of the dialog's type box
    QStringList patterns;  // wildcards; they match either letter case, as the camera's
                           // card is read on systems that ignore case
};

// The open-file dialog behind the "..." button: the chosen full paths, or nothing when the
// user cancelled.
using FileDialogProvider = std::function<std::optional<QStringList>(
    QWidget* parent, const QString& startFolder, const QList<FileFilter>& filters)>;

// The filters of the file dialog, the first one preselected.
const QList<FileFilter>& RecordingFileFilters();

// The toolkit's multi-selection open-file dialog; the default FileDialogProvider.
std::optional<QStringList> OpenFilesDialog(QWidget* parent, const QString& startFolder,
                                           const QList<FileFilter>& filters);

// Whether a selection fits the 26101-byte selection buffer of the original dialog
// (the folder and every name, each with its terminator, and a final terminator).
bool SelectionFitsBuffer(const QStringList& paths);

// The local files of a drop, in drop order.
QStringList DroppedPaths(const QMimeData* data);

// The kinds of file FileTypeFromExtension tells apart, by its results; its 0 and -1 (no
// extension) are both Unknown.
enum class FileKind { Unknown = 0, Mov = 1, Ts = 2, Nmea = 3, Mp4 = 4, Gps = 5 };
FileKind KindOfFile(const std::string& path);
inline bool IsClip(FileKind kind) {
    return kind == FileKind::Mov || kind == FileKind::Ts || kind == FileKind::Mp4;
}
// A file of a camera's GPS and G-sensor data that a list row plays on its own.
inline bool IsLog(FileKind kind) {
    return kind == FileKind::Nmea || kind == FileKind::Gps;
}

// "MOV", "TS", "NMEA", "MP4", "GPS" for the known kinds, "UNKNOW" otherwise.
const char* FileTypeText(FileKind kind);

// A file's last-write time as seconds since 1970 (UTC); 0 when it cannot be read.
int64_t FileWriteTime(const std::string& path);

// The list's date text of a last-write time given in seconds since 1970 (UTC), in local time:
// "3:04:05 PM, 04,December,2026" (English names whatever the locale, no leading zero on the
// hour). 0, and times a 32-bit count of seconds cannot hold, give "".
std::string FormatListDate(int64_t fileTime);

// The log of a row: a clip's path with the text after its last '.' replaced by "nmea"; a log
// row is its own log; other kinds have none ("").
std::string LogPathFor(const std::string& path, FileKind kind);

// The paths less each rear clip of a two-channel camera whose front clip is among them: the
// front clip's row plays both. The order is kept.
QStringList WithoutPairedRearClips(const QStringList& paths);

// The paths with one row per drive: a log (.nmea or .gps) or a rear clip that a clip among
// them plays with is left out, as the clip's row plays them too. The order is kept.
QStringList OneRowPerDrive(const QStringList& paths);

// The selection every playback command works on.
class CRecordingSelection {
public:
    // The full path of the row holding the selection mark; "" when there is none.
    virtual std::string GetSelFilePath() const = 0;
    // Next and previous, wrapping: the new row, or -1 on an empty list.
    virtual int SelectNext() = 0;
    virtual int SelectPrevious() = 0;

protected:
    ~CRecordingSelection() = default;
};

class CRecordingList : public CRecordingSelection {
public:
    // list: the form's list control (1155); folderBox: its folder box (1005); dialogParent:
    // the window that owns the file dialog.
    CRecordingList(QTreeWidget* list, QLineEdit* folderBox, QWidget* dialogParent);

    // Three columns "File Name", "File Type", "Date Time"; grid lines, full-row single
    // selection shown also without focus, no sorting; no rows.
    void InitListColumns();

    // The "..." button: refills the list from the file dialog. A cancelled dialog keeps the
    // list (and playback) but still makes the folder box's folder the configured folder.
    void SelectRecordings();

    // Refills the list from dropped local paths; only clips and logs get a row. Both there, the
    // dialog's and the drop's, a front clip with a rear one beside it is one row, typed
    // "MOV F+R" (or F+B, F+I), and a rear clip listed with its front clip gets none.
    void AddDroppedRecordings(const QStringList& paths);

    // folder + "/" + the name of the row holding the selection mark; "" (and a history-log
    // line) when there is none.
    std::string GetSelFilePath() const override;

    // The folder of the listed files: no trailing '/', the root folder is "".
    const std::string& folder() const { return folder_; }
    // Sets the folder and shows it in the folder box.
    void SetFolder(const std::string& folder);

    // The row last selected by a click or by SelectNext/SelectPrevious; -1 for none.
    int SelectionMark() const { return mark_; }
    int RowCount() const;
    // The full path of every row, in row order.
    std::vector<std::string> RowPaths() const;
    // Next and previous, wrapping: unselect the marked row (every row without a mark),
    // select and mark the new row, focus the list. Return the new row, or -1 on an empty list.
    int SelectNext() override;
    int SelectPrevious() override;

    // Run just before a confirmed selection or a drop refills the list: the form stops
    // playback with rewind and replaces its player there.
    void SetBeforeRefill(std::function<void()> hook) { beforeRefill_ = std::move(hook); }
    void SetFileDialog(FileDialogProvider provider) { fileDialog_ = std::move(provider); }

private:
    void ReadFolderBox();
    void WriteFolderBox();
    void DeleteAllRows();
    void InsertRow(int row, const std::string& path, const std::string& name, FileKind kind);
    int MoveSelection(bool forward);

    QTreeWidget* list_;
    QLineEdit* folderBox_;
    QWidget* dialogParent_;
    std::string folder_;
    int mark_ = -1;
    std::function<void()> beforeRefill_;
    FileDialogProvider fileDialog_ = OpenFilesDialog;
};
