// A real page in Qt WebEngine behind the restricted site: the listed keys
// never reach it, other keys do, and a right click opens no menu.
#include "skin/restricted_site.h"
#include "skin/web_browser.h"

#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace skin {
namespace {

const char kPage[] = R"(<!DOCTYPE html><html><body>
<script>
window.keys = [];
window.menus = 0;
document.addEventListener('keydown', e => {
  if (!['Control', 'Shift', 'Alt', 'Meta'].includes(e.key))
    window.keys.push((e.ctrlKey ? 'Ctrl+' : '') + e.key);
});
document.addEventListener('contextmenu', () => window.menus++);
</script>
<p>restricted</p></body></html>)";

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

QVariant RunScript(QWebEnginePage* page, const QString& script)
{
    QVariant result;
    bool finished = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        finished = true;
    });
    WaitFor([&] { return finished; });
    return result;
}

TEST(RestrictedSite, KeysAndContextMenu)
{
    CWebBrowser2 browser;
    QWidget host;
    host.resize(400, 300);
    ASSERT_TRUE(browser.Create(&host, QRect(0, 0, 400, 300), 1058));
    auto manager = CConstrainingCustomControlSiteManagerCreator::CreateInstance();
    CConstrainingCustomControlSite* site = manager->CreateSite(browser.View());
    ASSERT_EQ(manager->Sites().size(), 1u);
    host.show();

    bool loaded = false;
    QObject::connect(browser.View(), &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    browser.View()->setHtml(QString::fromLatin1(kPage), QUrl(QStringLiteral("about:blank")));
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    ASSERT_TRUE(WaitFor([&] { return browser.View()->focusProxy() != nullptr; }));
    QWidget* target = browser.View()->focusProxy();
    target->setFocus();

    QTest::keyClick(target, Qt::Key_Backspace);
    QTest::keyClick(target, Qt::Key_F5);
    QTest::keyClick(target, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_A);
    QTest::keyClick(target, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(site->SwallowedKeyCount(), 5);

    // The page saw only the keys that were let through.
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(browser.GetDocument(), QStringLiteral("window.keys.length")).toInt() >= 2;
    }));
    EXPECT_EQ(RunScript(browser.GetDocument(), QStringLiteral("window.keys.join(',')")).toString().toStdString(),
              "a,Ctrl+b");

    QTest::mouseClick(target, Qt::RightButton, {}, QPoint(50, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMenu*>(w) && w->isVisible());
    EXPECT_FALSE(browser.GetBusy());
    EXPECT_EQ(browser.GetLocationURL(), QStringLiteral("about:blank"));
}

TEST(RestrictedSite, SwallowedKeyTable)
{
    struct Key {
        int key;
        Qt::KeyboardModifiers mods;
        bool swallowed;
    };
    const Key keys[] = {
        {Qt::Key_F5, Qt::NoModifier, true},         {Qt::Key_Backspace, Qt::NoModifier, true},
        {Qt::Key_N, Qt::ControlModifier, true},     {Qt::Key_O, Qt::ControlModifier, true},
        {Qt::Key_P, Qt::ControlModifier, true},     {Qt::Key_N, Qt::NoModifier, false},
        {Qt::Key_F5, Qt::ControlModifier, false},   {Qt::Key_C, Qt::ControlModifier, false},
        {Qt::Key_Backspace, Qt::ShiftModifier, false},
    };
    for (const Key& k : keys) {
        QKeyEvent e(QEvent::KeyPress, k.key, k.mods);
        EXPECT_EQ(CConstrainingCustomControlSite::IsSwallowedKey(e), k.swallowed) << k.key;
    }
}

}  // namespace
}  // namespace skin
