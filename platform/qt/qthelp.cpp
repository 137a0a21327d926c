#include "platform/qt/qthelp.h"

#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {

// Wide enough for the pictures of the main window (980 pixels) beside the text's margins.
constexpr int kWidth = 1040, kHeight = 740;
constexpr int kMargin = 14;

// Reads a Markdown document without its HTML comments (notes for the people who write it), which
// Qt's Markdown reader would show as text.
class DocumentBrowser : public QTextBrowser {
public:
    explicit DocumentBrowser(QWidget *parent) : QTextBrowser(parent) {}

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        if (type != QTextDocument::MarkdownResource || !name.isLocalFile())
            return QTextBrowser::loadResource(type, name);
        QFile file(name.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        static const QRegularExpression kComment(QStringLiteral("<!--.*?-->\\n?"),
                                                 QRegularExpression::DotMatchesEverythingOption);
        return QString::fromUtf8(file.readAll()).remove(kComment);
    }
};

class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget *owner) : QWidget(owner, Qt::Window)
    {
        setObjectName(QStringLiteral("HELPWINDOW"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        browser = new DocumentBrowser(this);
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
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
            close();
        else
            QWidget::keyPressEvent(event);
    }
};

QPointer<HelpWindow> g_help;

// The name a heading is linked by, as Markdown renderers make it: lower case, blanks as '-', other
// punctuation dropped ("Befehlszeile: tlx1ctl" is "befehlszeile-tlx1ctl").
QString HeadingAnchor(const QString &heading)
{
    QString anchor;
    for (QChar ch : heading.trimmed().toLower()) {
        if (ch.isLetterOrNumber() || ch == u'-' || ch == u'_')
            anchor += ch;
        else if (ch.isSpace())
            anchor += u'-';
    }
    return anchor;
}

// Sets the margin and marks each heading as a link target. Neither changes the text: without the
// change signal the browser does not read the file again for a link into the same document, which
// would drop the marks.
void Prepare(QTextDocument *document)
{
    const QSignalBlocker quiet(document);
    document->setDocumentMargin(kMargin);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0)
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat target;
        target.setAnchor(true);
        target.setAnchorNames({HeadingAnchor(block.text())});
        cursor.mergeCharFormat(target);
    }
}

// The meaning a control's widget keeps for its tooltip.
constexpr const char *kHelpProperty = "tlx1Help";

class ControlTips : public QObject {
protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto *widget = static_cast<QWidget *>(object);
        const QString help = widget->property(kHelpProperty).toString();
        if (help.isEmpty())
            return false;  // the widget's own tooltip, if any
        const QString own = widget->toolTip();
        const QString text = own.isEmpty() || own == help ? help : help + QStringLiteral("\n\n") + own;
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, widget);
        return true;
    }
};

}  // namespace

void SetControlHelp(QWidget *widget, const QString &help)
{
    static ControlTips tips;
    if (widget->property(kHelpProperty).toString() == help)
        return;
    widget->setProperty(kHelpProperty, help);
    widget->setAccessibleDescription(help);
    widget->installEventFilter(&tips);
}

bool ShowHelpWindow(QWidget *owner, const QString &title, const QString &path)
{
    if (QFile file(path); !file.open(QIODevice::ReadOnly))
        return false;
    if (!g_help)
        g_help = new HelpWindow(owner);
    const QUrl source = QUrl::fromLocalFile(path);
    if (g_help->browser->source() != source) {
        // The pictures are found relative to the document.
        g_help->browser->setSource(source, QTextDocument::MarkdownResource);
        Prepare(g_help->browser->document());
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
