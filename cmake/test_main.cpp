// The main function of every test program. Before any test runs it sets the
// environment Qt needs here, so a test program behaves the same under CTest
// and when started by hand: Qt programs use the offscreen platform, and
// Qt WebEngine (which runs as root here) has Chromium's sandbox off. Values
// already set by the caller are kept.
//
// Qt test programs (the QT or WEBENGINE flag of kelm_add_test) get one
// QApplication here, made before the first test and living until the last;
// tests use it (QCoreApplication::instance()) and never make their own.
#include <gtest/gtest.h>

#include <cstdlib>

#if defined(KELM_TEST_QT) || defined(KELM_TEST_WEBENGINE)
#include <QApplication>
#endif

int main(int argc, char** argv)
{
#if defined(KELM_TEST_QT) || defined(KELM_TEST_WEBENGINE)
    setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
    setenv("QT_LOGGING_RULES", "qt.qpa.*=false", /*overwrite=*/0);
#endif
#if defined(KELM_TEST_WEBENGINE)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", /*overwrite=*/0);
    setenv("QT_QUICK_BACKEND", "software", /*overwrite=*/0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS",
           "--no-sandbox --disable-gpu --disable-background-networking --disable-component-update",
           /*overwrite=*/0);
#endif
    ::testing::InitGoogleTest(&argc, argv);
#if defined(KELM_TEST_WEBENGINE)
    // Qt WebEngine needs shared OpenGL contexts set before the application.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
#if defined(KELM_TEST_QT) || defined(KELM_TEST_WEBENGINE)
    QApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
