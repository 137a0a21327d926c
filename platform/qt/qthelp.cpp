#include "platform/qt/qthelp.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {

// Wide enough for the pictures of the main window (980 pixels) beside the text's margins.
constexpr int kWidth = 1040, kHeight = 740;

class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget *owner) : QWidget(owner, Qt::Window)
    {
        setObjectName(QStringLiteral("HELPWINDOW"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        browser = new QTextBrowser(this);
        browser->setObjectName(QStringLiteral("HELPTEXT"));
        browser->setOpenLinks(true);
        browser->setOpenExternalLinks(true);
        layout->addWidget(browser);
        QSize size(kWidth, kHeight);
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
        resize(size);
    }
    QTextBrowser *browser;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) close();
        else QWidget::keyPressEvent(event);
    }
};

QPointer<HelpWindow> g_help;

// The name a heading is linked by, as Markdown renderers make it: lower case, blanks as '-', other
// punctuation dropped ("Befehlszeile: tlx1ctl" is "befehlszeile-tlx1ctl").
QString HeadingAnchor(const QString &heading)
{
    QString anchor;
    for (QChar ch : heading.trimmed().toLower()) {
        if (ch.isLetterOrNumber() || ch == u'-' || ch == u'_') anchor += ch;
        else if (ch.isSpace()) anchor += u'-';
    }
    return anchor;
}

void MarkHeadings(QTextDocument *document)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat target;
        target.setAnchor(true);
        target.setAnchorNames({HeadingAnchor(block.text())});
        cursor.mergeCharFormat(target);
    }
}

}  // namespace

bool ShowHelpWindow(QWidget *owner, const QString &title, const QString &path)
{
    if (QFile file(path); !file.open(QIODevice::ReadOnly)) return false;
    if (!g_help) g_help = new HelpWindow(owner);
    const QUrl source = QUrl::fromLocalFile(path);
    if (g_help->browser->source() != source) {
        // The pictures are found relative to the document.
        g_help->browser->setSource(source, QTextDocument::MarkdownResource);
        MarkHeadings(g_help->browser->document());
        g_help->browser->verticalScrollBar()->setValue(0);
    }
    g_help->setWindowTitle(title);
    g_help->show();
    g_help->raise();
    g_help->activateWindow();
    g_help->browser->setFocus(Qt::OtherFocusReason);
    return true;
}

QTextBrowser *QtView_HelpBrowser(void)
{
    return g_help ? g_help->browser : nullptr;
}

void DeleteHelpWindow(void)
{
    delete g_help.data();
}
