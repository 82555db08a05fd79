#pragma once
// What most tests start from: a fresh application state whose module folder is a temporary
// folder (History.log, um_config.ini and out_nmea.txt land there), and a recorder of the
// messages the program would show.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "app/app_state.h"
#include "app/message.h"

class TestFixture {
public:
    TestFixture() {
        theApp() = CVantrailApp{};
        theApp().moduleDir = dir_.path().toStdString();
        previous_ = SetMessageHandler([this](const std::string& text, const std::string& caption) {
            messages << QString::fromStdString(text);
            captions << QString::fromStdString(caption);
        });
    }
    ~TestFixture() { SetMessageHandler(previous_); }
    TestFixture(const TestFixture&) = delete;
    TestFixture& operator=(const TestFixture&) = delete;

    QString Dir() const { return dir_.path(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    }
    // A file of samples/ copied into the folder under another name.
    QString CopySample(const QString& name, const QString& as) const {
        QFile::copy(QStringLiteral(VANTRAIL_SOURCE_DIR "/samples/") + name, Path(as));
        return Path(as);
    }
    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList messages;  // texts shown, in order
    QStringList captions;  // their captions

private:
    QTemporaryDir dir_;
    MessageHandler previous_;
};

// A camera log of validity.size() seconds, one a line group closed by a G-sensor line; '1'
// marks a second with a fix. Latitude 25 degrees 3.000 minutes north grows by 0.001 minute a
// second; longitude is 121 degrees 30 minutes east.
inline QByteArray CameraLog(const QString& validity) {
    QByteArray log;
    for (int i = 0; i < validity.size(); ++i) {
        log +=
            QStringLiteral("$GPGGA,12%1%2.00,2503.%3,N,12130.000,E,%4,08,0.9,10.0,M,0,M,,*00\r\n")
                .arg(i / 60, 2, 10, QChar('0'))
                .arg(i % 60, 2, 10, QChar('0'))
                .arg(i, 3, 10, QChar('0'))
                .arg(validity[i] == '1' ? 1 : 0)
                .toLatin1();
        log += "$GPVTG,90.0,T,90.0,M,27.0,N,50.0,K*00\r\n$GSENSOR,10,-20,1000\r\n";
    }
    return log;
}

inline QByteArray CameraLog(int seconds) {
    return CameraLog(QString(seconds, '1'));
}
