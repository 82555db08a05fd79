#include <QProcess>
#include <QTest>

#include "shell/render_backend.h"

namespace {
// Stand for a variable that is not in the environment, and an X server without OpenGL.
const QByteArray kUnset = "(unset)";
const QByteArray kWithoutGlx = "(without GLX)";
const QByteArrayList kVariables = {"QT_QPA_PLATFORM", "QT_QUICK_BACKEND", "QT_XCB_GL_INTEGRATION",
                                   "DISPLAY"};

void SetVariable(const char* name, const QByteArray& value) {
    value == kUnset ? qunsetenv(name) : qputenv(name, value);
}
QByteArray Variable(const char* name) {
    return qEnvironmentVariableIsSet(name) ? qgetenv(name) : kUnset;
}
}  // namespace

// Runs on an X server (the test is started under xvfb-run), whose OpenGL is software.
class TestRenderBackend : public QObject {
    Q_OBJECT

    QList<QByteArray> saved_;

private slots:
    void init() {
        saved_.clear();
        for (const QByteArray& name : kVariables) saved_ << Variable(name);
    }
    void cleanup() {
        for (qsizetype i = 0; i < kVariables.size(); ++i) SetVariable(kVariables[i], saved_[i]);
    }

    void choosesBackend_data() {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("quick");
        QTest::addColumn<QByteArray>("integration");
        QTest::addColumn<QString>("renderer");  // null: no display to ask
        QTest::addColumn<bool>("probed");
        QTest::addColumn<QByteArray>("quickAfter");
        QTest::addColumn<QByteArray>("integrationAfter");
        const QByteArray u = kUnset, sw = "software", none = "none", rhi = "rhi";
        const QString soft = "llvmpipe (LLVM 15.0.6, 256 bits)",
                      gpu = "Mesa Intel(R) Xe Graphics (TGL GT2)";
        // With no variable set, the renderer alone decides.
        for (const auto& [name, renderer, software] :
             {std::tuple{"llvmpipe", soft, true},
              {"swrast in a longer name", "Mesa DRI swrast", true},
              {"no OpenGL", "", true},
              {"AMD built with LLVM", "AMD Radeon RX 6600 (navi23, LLVM 15.0.6)", false},
              {"virtual GPU", "virgl (Mesa Intel(R) Xe Graphics)", false}})
            QTest::newRow(name) << u << u << u << QString(renderer) << true << (software ? sw : u)
                                << (software ? none : u);
        QTest::newRow("X11 named") << QByteArray("xcb") << u << u << soft << true << sw << none;
        QTest::newRow("no display") << u << u << u << QString() << true << u << u;
        QTest::newRow("not X11") << QByteArray("wayland") << u << u << soft << false << u << u;
        QTest::newRow("user's scene graph kept") << u << rhi << u << soft << true << rhi << none;
        QTest::newRow("user's integration kept")
            << u << u << QByteArray("xcb_egl") << soft << true << sw << QByteArray("xcb_egl");
        QTest::newRow("user turned OpenGL off") << u << u << none << gpu << false << sw << none;
    }
    void choosesBackend() {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, quick);
        QFETCH(QByteArray, integration);
        QFETCH(QString, renderer);
        SetVariable("QT_QPA_PLATFORM", platform);
        SetVariable("QT_QUICK_BACKEND", quick);
        SetVariable("QT_XCB_GL_INTEGRATION", integration);
        bool asked = false;
        ChooseRenderBackend([&]() -> std::optional<std::string> {
            asked = true;
            return renderer.isNull() ? std::nullopt : std::optional(renderer.toStdString());
        });
        QTEST(asked, "probed");
        QTEST(Variable("QT_QUICK_BACKEND"), "quickAfter");
        QTEST(Variable("QT_XCB_GL_INTEGRATION"), "integrationAfter");
    }

    void probesTheDisplay_data() {
        QTest::addColumn<QByteArray>("display");  // kWithoutGlx: a server started here
        QTest::addColumn<bool>("answers");
        QTest::addColumn<bool>("hasOpenGl");
        QTest::newRow("Xvfb") << qgetenv("DISPLAY") << true << true;
        QTest::newRow("X server without OpenGL") << kWithoutGlx << true << false;
        QTest::newRow("no server there") << QByteArray(":987") << false << false;
    }
    void probesTheDisplay() {
        QFETCH(QByteArray, display);
        QFETCH(bool, answers);
        QFETCH(bool, hasOpenGl);
        QProcess server;
        if (display == kWithoutGlx) {
            // Xvfb picks a free display and writes its number to the descriptor given.
            server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-extension", "GLX"});
            QVERIFY(server.waitForReadyRead(10000));
            display = ":" + server.readLine().trimmed();
        }
        SetVariable("DISPLAY", display);
        const std::optional<std::string> renderer = ProbeGlRenderer();
        server.terminate();
        server.waitForFinished();
        QCOMPARE(renderer.has_value(), answers);
        // Xvfb renders OpenGL with Mesa in software, and names its rasteriser.
        if (answers)
            QVERIFY2(!renderer->empty() == hasOpenGl && IsSoftwareRenderer(*renderer),
                     renderer->c_str());
    }
};

QTEST_APPLESS_MAIN(TestRenderBackend)
#include "test_render_backend.moc"
