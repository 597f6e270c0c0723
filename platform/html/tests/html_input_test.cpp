// What the host decides for the user's input in a page: keys (accelerators
// and F1), the context menu, and the error-silencing script. Also a picture
// of a test page, to look at.
#include "html_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>

namespace {

class CMenuWindow : public CTestHostWindow {
public:
    bool OnShowContextMenu(CBrowserControl* pBrowser, const QPoint& pos) override
    {
        const bool handled = CTestHostWindow::OnShowContextMenu(pBrowser, pos);
        m_menuAnswers.append(handled ? "no menu" : "menu");
        return handled;
    }
    QStringList m_menuAnswers;
};

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_window.LoadPage("elements.html")); }

    QString Page(const QString& expression)
    {
        const CHtmlCallResult result = m_window.m_pBrowser->GetDocument().RunPageScript(expression);
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        return result.value.toString();
    }

    QPoint CenterOf(const QString& id)
    {
        QRect rect;
        EXPECT_TRUE(m_window.m_pBrowser->GetDocument().GetElementById(id).GetRect(rect)) << id.toStdString();
        return rect.center();
    }

    void PressKey(int key, const QString& text = {})
    {
        QWidget* target = m_window.m_pBrowser->focusProxy();
        ASSERT_NE(target, nullptr);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }

    CMenuWindow m_window;
};

TEST_F(InputTest, AcceleratorsAreSeenBeforeThePage)
{
    m_window.activateWindow();
    m_window.m_pBrowser->setFocus();
    m_window.m_swallowKeys = true;  // the host swallows F5
    PressKey(Qt::Key_F5);
    PressKey(Qt::Key_A, "a");
    PressKey(Qt::Key_F1);
    ASSERT_TRUE(WaitUntil([&] { return Page("keyDowns.join(',')").contains("a"); }));
    // F1 asked the host for help instead of reaching the page; F5 was swallowed.
    EXPECT_EQ(Page("keyDowns.join(',')"), "a");
    EXPECT_EQ(m_window.m_helpRequests, 1);

    m_window.m_swallowKeys = false;
    PressKey(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return Page("keyDowns.join(',')") == "a,F5"; }));
}

TEST_F(InputTest, ContextMenuOnlyOverTextInputs)
{
    // The controller's own answer, element by element.
    EXPECT_TRUE(m_window.OnShowContextMenu(m_window.m_pBrowser, CenterOf("para")));
    EXPECT_FALSE(m_window.OnShowContextMenu(m_window.m_pBrowser, CenterOf("text_in")));
    EXPECT_FALSE(m_window.OnShowContextMenu(m_window.m_pBrowser, CenterOf("area")));
    EXPECT_TRUE(m_window.OnShowContextMenu(m_window.m_pBrowser, CenterOf("chk_on")));
    EXPECT_TRUE(m_window.OnShowContextMenu(m_window.m_pBrowser, QPoint(700, 500)));  // empty body
    EXPECT_TRUE(m_window.IsTextInputElement(m_window.GetElementFromPoint(CenterOf("text_in"))));
    EXPECT_FALSE(m_window.IsTextInputElement(CHTMLElement()));
    m_window.m_menuAnswers.clear();

    // A right click in the browser asks the same question.
    QWidget* target = m_window.m_pBrowser->focusProxy();
    ASSERT_NE(target, nullptr);
    const auto rightClick = [&](const QPoint& pos) {
        QMouseEvent press(QEvent::MouseButtonPress, pos, target->mapToGlobal(pos), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, target->mapToGlobal(pos), Qt::RightButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    };
    rightClick(CenterOf("para"));
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_menuAnswers.size() == 1; }));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    rightClick(CenterOf("text_in"));
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_menuAnswers.size() == 2; }));
    EXPECT_EQ(m_window.m_menuAnswers, (QStringList{"no menu", "menu"}));
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activePopupWidget() != nullptr; }));
    EXPECT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
    QApplication::activePopupWidget()->close();
}

TEST_F(InputTest, ErrorSilencingScriptKeepsPageErrorsQuiet)
{
    QStringList errors;
    QObject::connect(m_window.m_pBrowser, &CBrowserControl::scriptError, [&](const QString& e) { errors.append(e); });
    Page("(setTimeout(function () { throw new Error('first'); }, 0), 1)");
    ASSERT_TRUE(WaitUntil([&] { return !errors.isEmpty(); }));
    EXPECT_NE(errors.first().indexOf("first"), -1);

    ASSERT_TRUE(m_window.m_pBrowser->GetDocument().InsertErrorSilencingScript());
    Page("(setTimeout(function () { throw new Error('second'); }, 0), 1)");
    Page("(setTimeout(function () { document.getElementById('status').innerText = 'after'; }, 50), 1)");
    ASSERT_TRUE(WaitUntil([&] { return Page("document.getElementById('status').innerText") == "after"; }));
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(Page("typeof window.onerror"), "function");
}

TEST_F(InputTest, ScreenshotOfATestPage)
{
    // Let the page paint, then take the window's picture.
    QImage image;
    ASSERT_TRUE(WaitUntil([&] {
        image = m_window.grab().toImage();
        return image.pixelColor(460, 70) == QColor(0xe8, 0xee, 0xf8);
    }));
    const QString path = QDir::temp().filePath("kelm_html_elements.png");
    ASSERT_TRUE(image.save(path));
    std::printf("screenshot: %s\n", qPrintable(path));
    EXPECT_EQ(image.size(), QSize(755, 565));
    // The heading is drawn in its style's colour somewhere near the top.
    bool headingDrawn = false;
    for (int y = 0; y < 80 && !headingDrawn; ++y) {
        for (int x = 0; x < 300 && !headingDrawn; ++x)
            headingDrawn = image.pixelColor(x, y) == QColor(10, 80, 160);
    }
    EXPECT_TRUE(headingDrawn);
}

}  // namespace
