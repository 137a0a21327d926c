#include "platform/qt/cp1252.h"

#include "platform/text/cp1252.h"

#include <QLineEdit>

#include <algorithm>

QString Cp1252ToQString(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes)
        out.append(QChar(Cp1252ToUnicode(static_cast<unsigned char>(ch))));
    return out;
}

std::string QStringToCp1252(const QString &text, int *unmapped)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    int missing = 0;
    for (QChar c : text) {
        const int b = Cp1252FromUnicode(c.unicode());
        if (b < 0) {
            ++missing;
            out.push_back('?');
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    if (unmapped)
        *unmapped = missing;
    return out;
}

int Cp1252CanEncode(QChar c)
{
    return Cp1252FromUnicode(c.unicode()) >= 0 ? 1 : 0;
}

void KeepCp1252Typing(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &t) {
        QString kept;
        for (QChar ch : t)
            if (Cp1252CanEncode(ch) && ch.unicode() >= 0x20)
                kept.append(ch);
        if (kept != t) {
            const int pos = edit->cursorPosition() - static_cast<int>(t.size() - kept.size());
            edit->setText(kept);
            edit->setCursorPosition(std::max(0, pos));
            edit->setModified(true);
        }
    });
}
