#include <QProcess>
#include <QTest>

#include "shell/render_backend.h"

namespace {

// Stands for a variable that is not in the environment.
const QByteArray kUnset = "(unset)";
// Stands for an X server without the OpenGL extension.
const QByteArray kWithoutGlx = "(without GLX)";
const QByteArrayList kVariables = {"QT_QPA_PLATFORM", "QT_QUICK_BACKEND", "QT_XCB_GL_INTEGRATION",
                                   "DISPLAY"};

void SetVariable(const char* name, const QByteArray& value) {
    if (value == kUnset)
        qunsetenv(name);
    else
        qputenv(name, value);
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

    void recognisesSoftwareRenderers_data() {
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<bool>("software");
        QTest::newRow("llvmpipe") << "llvmpipe (LLVM 15.0.6, 256 bits)" << true;
        QTest::newRow("softpipe") << "softpipe" << true;
        QTest::newRow("old Mesa rasteriser") << "Software Rasterizer" << true;
        QTest::newRow("swrast in a longer name") << "Mesa DRI swrast" << true;
        QTest::newRow("SwiftShader, any case") << "Google SWIFTSHADER Device" << true;
        QTest::newRow("no OpenGL") << "" << true;
        QTest::newRow("Intel") << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << false;
        QTest::newRow("AMD built with LLVM")
            << "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)" << false;
        QTest::newRow("NVIDIA") << "NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2" << false;
        QTest::newRow("virtual GPU") << "virgl (Mesa Intel(R) Xe Graphics)" << false;
    }
    void recognisesSoftwareRenderers() {
        QFETCH(QString, renderer);
        QFETCH(bool, software);
        QCOMPARE(IsSoftwareRenderer(renderer.toStdString()), software);
    }

    void choosesBackend_data() {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("quick");
        QTest::addColumn<QByteArray>("integration");
        QTest::addColumn<QString>("renderer");  // null: no display to ask
        QTest::addColumn<bool>("probed");
        QTest::addColumn<QByteArray>("quickAfter");
        QTest::addColumn<QByteArray>("integrationAfter");
        const QString llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
        const QString gpu = "Mesa Intel(R) Xe Graphics (TGL GT2)";
        QTest::newRow("software OpenGL") << kUnset << kUnset << kUnset << llvmpipe << true
                                         << QByteArray("software") << QByteArray("none");
        QTest::newRow("X11 named") << QByteArray("xcb") << kUnset << kUnset << llvmpipe << true
                                   << QByteArray("software") << QByteArray("none");
        QTest::newRow("GPU keeps hardware")
            << kUnset << kUnset << kUnset << gpu << true << kUnset << kUnset;
        QTest::newRow("no display")
            << kUnset << kUnset << kUnset << QString() << true << kUnset << kUnset;
        QTest::newRow("not X11") << QByteArray("wayland") << kUnset << kUnset << llvmpipe << false
                                 << kUnset << kUnset;
        QTest::newRow("user's scene graph kept")
            << kUnset << QByteArray("rhi") << kUnset << llvmpipe << true << QByteArray("rhi")
            << QByteArray("none");
        QTest::newRow("user's integration kept")
            << kUnset << kUnset << QByteArray("xcb_egl") << llvmpipe << true
            << QByteArray("software") << QByteArray("xcb_egl");
        QTest::newRow("user turned OpenGL off")
            << kUnset << kUnset << QByteArray("none") << gpu << false << QByteArray("software")
            << QByteArray("none");
        QTest::newRow("user chose both")
            << kUnset << QByteArray("rhi") << QByteArray("xcb_glx") << llvmpipe << false
            << QByteArray("rhi") << QByteArray("xcb_glx");
    }
    void choosesBackend() {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, quick);
        QFETCH(QByteArray, integration);
        QFETCH(QString, renderer);
        QFETCH(bool, probed);
        QFETCH(QByteArray, quickAfter);
        QFETCH(QByteArray, integrationAfter);
        SetVariable("QT_QPA_PLATFORM", platform);
        SetVariable("QT_QUICK_BACKEND", quick);
        SetVariable("QT_XCB_GL_INTEGRATION", integration);
        bool asked = false;
        ChooseRenderBackend([&]() -> std::optional<std::string> {
            asked = true;
            if (renderer.isNull())
                return std::nullopt;
            return renderer.toStdString();
        });
        QCOMPARE(asked, probed);
        QCOMPARE(Variable("QT_QUICK_BACKEND"), quickAfter);
        QCOMPARE(Variable("QT_XCB_GL_INTEGRATION"), integrationAfter);
    }

    void probesTheDisplay_data() {
        QTest::addColumn<QByteArray>("display");  // kWithoutGlx: a server started here
        QTest::addColumn<bool>("answers");
        QTest::addColumn<bool>("hasOpenGl");
        QTest::newRow("Xvfb") << qgetenv("DISPLAY") << true << true;
        QTest::newRow("X server without OpenGL") << kWithoutGlx << true << false;
        QTest::newRow("no server there") << QByteArray(":987") << false << false;
        QTest::newRow("no DISPLAY") << kUnset << false << false;
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
        if (answers) {
            QCOMPARE(!renderer->empty(), hasOpenGl);
            // Xvfb renders OpenGL with Mesa in software, and names its rasteriser.
            QVERIFY2(IsSoftwareRenderer(*renderer), renderer->c_str());
        }
    }
};

QTEST_APPLESS_MAIN(TestRenderBackend)
#include "test_render_backend.moc"
