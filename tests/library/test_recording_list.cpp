#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <sys/time.h>
#include <ctime>
#include <memory>

#include "app/app_state.h"
#include "library/recording_list.h"
#include "skin/dialog_template.h"
#include "tests/support/fixture.h"

namespace {

// 2013-03-04 09:05:07 local time, in a zone west of Greenwich so that the local day and
// hour differ from the UTC ones.
constexpr qint64 kMorning = 1362413107;

}  // namespace

class TestRecordingList : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<QWidget> form_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* box_ = nullptr;
    std::unique_ptr<CRecordingList> recordings_;
    int refills_ = 0;
    QString dialogStart_;
    std::optional<QStringList> answer_;

    QString Dir() const { return fx_->Dir(); }

    // Empty files below the temporary folder, all written at kMorning.
    QStringList Touch(const QStringList& names) {
        QStringList paths;
        for (const QString& name : names) {
            const QString path = Dir() + '/' + name;
            QDir().mkpath(QFileInfo(path).path());
            QFile(path).open(QIODevice::WriteOnly);
            const timeval times[2] = {{kMorning, 0}, {kMorning, 0}};
            utimes(path.toLocal8Bit().constData(), times);
            paths << path;
        }
        return paths;
    }

    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            texts << list_->topLevelItem(i)->text(column);
        return texts;
    }

    void Fill(int rows) {
        QStringList names;
        for (int i = 0; i < rows; ++i) names << QStringLiteral("REC%1.MOV").arg(i);
        answer_ = Touch(names);
        recordings_->SelectRecordings();
    }

private slots:
    void initTestCase() {
        qputenv("TZ", "MST7");
        tzset();
    }

    void init() {
        fx_ = std::make_unique<TestFixture>();
        theApp().folderPath = "/start/here";
        form_ = std::make_unique<QWidget>();
        const auto tmpl = LoadDialogTemplate(132);
        QVERIFY(tmpl);
        CreateDialogControls(form_.get(), *tmpl);
        list_ = qobject_cast<QTreeWidget*>(GetDlgItem(form_.get(), 1155));
        box_ = qobject_cast<QLineEdit*>(GetDlgItem(form_.get(), 1005));
        recordings_ = std::make_unique<CRecordingList>(list_, box_, form_.get());
        recordings_->InitListColumns();
        refills_ = 0;
        answer_.reset();
        recordings_->SetBeforeRefill([this] { ++refills_; });
        recordings_->SetFileDialog(
            [this](QWidget*, const QString& start, const QList<FileFilter>&) {
                dialogStart_ = start;
                return answer_;
            });
    }

    void cleanup() {
        recordings_.reset();
        form_.reset();
        fx_.reset();
    }

    void selectRecordings_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("folder");  // below the temporary folder
        QTest::newRow("clip, log and stream")
            << QStringList{"a.MOV", "a.nmea", "b.ts"} << QStringList{"MOV", "NMEA", "TS"} << "";
        QTest::newRow("mixed case unknown, last point counts")
            << QStringList{"clip.Mov", "a.b.ts", "c.mov.txt", "README", "X.NMEA"}
            << QStringList{"UNKNOW", "TS", "UNKNOW", "UNKNOW", "NMEA"} << "";
        QTest::newRow("percent in folder")
            << QStringList{"cam%d %s/REC0001.MOV"} << QStringList{"MOV"} << "/cam%d %s";
    }

    void selectRecordings() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, types);
        QFETCH(QString, folder);
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{"old.MOV"}));
        answer_ = Touch(names);
        recordings_->SelectRecordings();
        QCOMPARE(refills_, 1);
        QCOMPARE(dialogStart_, QString("/start/here"));
        QStringList expectedNames;
        for (const QString& n : names) expectedNames << n.mid(n.lastIndexOf('/') + 1);
        QCOMPARE(Column(0), expectedNames);
        QCOMPARE(Column(1), types);
        QCOMPARE(Column(2).front(), QString("9:05:07 AM, 04,March,2013"));
        QCOMPARE(box_->text(), Dir() + folder);
        QCOMPARE(recordings_->folder(), box_->text().toStdString());
        QCOMPARE(theApp().folderPath, box_->text().toStdString());
    }

    void selectInRootFolder() {
        answer_ = QStringList{"/REC0001.MOV", "/REC0001.nmea"};
        recordings_->SelectRecordings();
        QCOMPARE(recordings_->folder(), std::string());
        QCOMPARE(Column(0), (QStringList{"REC0001.MOV", "REC0001.nmea"}));
        QCOMPARE(Column(2), (QStringList{"", ""}));  // no such files: no date
        QCOMPARE(recordings_->SelectNext(), 0);
        QCOMPARE(recordings_->GetSelFilePath(), std::string("/REC0001.MOV"));
    }

    void cancelledDialogKeepsList() {
        Fill(2);
        box_->setText("/dropped/here");
        answer_.reset();
        recordings_->SelectRecordings();
        QCOMPARE(refills_, 1);
        QCOMPARE(Column(0), (QStringList{"REC0.MOV", "REC1.MOV"}));
        QCOMPARE(theApp().folderPath, std::string("/dropped/here"));
    }

    void selectionBufferLimit() {
        auto fits = [](int nameLength, int count) {
            QStringList paths;
            for (int i = 0; i < count; ++i)
                paths << "/f/" + QString(nameLength, QChar('a' + i)) + ".MOV";
            return SelectionFitsBuffer(paths);
        };
        // Several: 3 + 3 * (n + 5) + 1 bytes. One: the path and two terminators, n + 9 bytes.
        QVERIFY(fits(8694, 3) && !fits(8695, 3));
        QVERIFY(fits(26092, 1) && !fits(26093, 1));
    }

    void drops_data() {
        QTest::addColumn<QStringList>("dropped");  // below the temporary folder
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("folder");
        QTest::newRow("known kinds in drop order, mixed case gets no row")
            << QStringList{"z.nmea", "clip.Mov", "notes.txt", "a.ts", "m.MOV"}
            << QStringList{"z.nmea", "a.ts", "m.MOV"} << "";
        QTest::newRow("folder sets the folder only")
            << QStringList{"cam/day1"} << QStringList{} << "/cam";
        QTest::newRow("last path decides the folder")
            << QStringList{"a/REC1.MOV", "b/REC2.ts"} << QStringList{"REC1.MOV", "REC2.ts"} << "/b";
        QTest::newRow("nothing dropped still empties the list")
            << QStringList{} << QStringList{} << "";
    }

    void drops() {
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, rows);
        QFETCH(QString, folder);
        Fill(1);
        QDir().mkpath(Dir() + "/cam/day1");
        QList<QUrl> urls{QUrl("http://127.0.0.1/x.MOV")};  // not a local file: skipped
        for (const QString& name : dropped) urls << QUrl::fromLocalFile(Dir() + '/' + name);
        QMimeData data;
        data.setUrls(urls);
        recordings_->AddDroppedRecordings(DroppedPaths(&data));
        QCOMPARE(refills_, 2);
        QCOMPARE(Column(0), rows);
        QCOMPARE(recordings_->folder(), (Dir() + folder).toStdString());
        QCOMPARE(box_->text(), Dir() + folder);
        QCOMPARE(theApp().folderPath, Dir().toStdString());  // a drop leaves the setting
    }

    void formatListDate_data() {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << kMorning << "9:05:07 AM, 04,March,2013";
        QTest::newRow("noon") << kMorning + 3 * 3600 - 307 << "12:00:00 PM, 04,March,2013";
        QTest::newRow("after midnight") << kMorning - 9 * 3600 << "12:05:07 AM, 04,March,2013";
        QTest::newRow("day before") << kMorning - 10 * 3600 << "11:05:07 PM, 03,March,2013";
        QTest::newRow("zero") << qint64(0) << "";
        QTest::newRow("last 32-bit second") << qint64(2147483647) << "8:14:07 PM, 18,January,2038";
        QTest::newRow("after 2038") << qint64(2147483648) << "";
    }

    void formatListDate() {
        QFETCH(qint64, time);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(FormatListDate(time)), text);
    }

    void logPathFor_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("log");
        QTest::newRow("clip") << "/d/cam/REC0001.MOV" << "/d/cam/REC0001.nmea";
        QTest::newRow("stream, last point only") << "/d/c.am/a.b.TS" << "/d/c.am/a.b.nmea";
        QTest::newRow("log is its own") << "/d/cam/REC0003.NMEA" << "/d/cam/REC0003.NMEA";
        QTest::newRow("unknown has none") << "/d/cam/clip.Mov" << "";
    }

    void logPathFor() {
        QFETCH(QString, path);
        QFETCH(QString, log);
        const std::string p = path.toStdString();
        QCOMPARE(QString::fromStdString(LogPathFor(p, KindOfFile(p))), log);
    }

    void nextAndPrevious_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("start");  // -1: no row ever selected
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("expected");
        QTest::newRow("next from none") << 3 << -1 << true << 0;
        QTest::newRow("next wraps") << 3 << 2 << true << 0;
        QTest::newRow("previous from none") << 3 << -1 << false << 2;
        QTest::newRow("previous wraps") << 3 << 0 << false << 2;
        QTest::newRow("empty list") << 0 << -1 << true << -1;
    }

    void nextAndPrevious() {
        QFETCH(int, rows);
        QFETCH(int, start);
        QFETCH(bool, forward);
        QFETCH(int, expected);
        Fill(rows);
        if (start >= 0)
            list_->topLevelItem(start)->setSelected(true);
        QCOMPARE(forward ? recordings_->SelectNext() : recordings_->SelectPrevious(), expected);
        QCOMPARE(list_->selectedItems().size(), expected < 0 ? 0 : 1);
        if (expected >= 0)
            QCOMPARE(recordings_->GetSelFilePath(),
                     (Dir() + QStringLiteral("/REC%1.MOV").arg(expected)).toStdString());
    }

    void selectionMarkAndNoSelection() {
        Fill(3);
        list_->topLevelItem(1)->setSelected(true);
        // A cleared selection keeps the mark, as next and previous start from it.
        list_->clearSelection();
        QCOMPARE(recordings_->SelectNext(), 2);
        Fill(2);
        QCOMPARE(recordings_->SelectionMark(), -1);
        QCOMPARE(recordings_->GetSelFilePath(), std::string());
        QVERIFY(fx_->Read("History.log").endsWith("\tGetSelFilePath => no selected file\r\n"));
    }
};

QTEST_MAIN(TestRecordingList)
#include "test_recording_list.moc"
