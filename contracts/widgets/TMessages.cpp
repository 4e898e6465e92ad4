#include "TMessages.h"

#include "HostUi.h"
#include "MsgFormat.h"

TMessages::TMessages(QObject* parent) : QObject(parent) {}

TMessages::TMessages(const QStringList& lines, QObject* parent) : QObject(parent) {
    SetLines(lines);
}

void TMessages::SetLines(const QStringList& lines) {
    m_lines.clear();
    m_texts.clear();
    for (const QString& line : lines)
        AddLine(line);
}

void TMessages::AddLine(const QString& line) {
    m_lines.append(line);
    const int bar = line.indexOf(QLatin1Char('|'));
    if (bar <= 0) return; // not a catalog line
    const QString key = line.left(bar);
    // The first definition of a key wins, as a lookup from the top of the list would find it.
    if (!m_texts.contains(key)) m_texts.insert(key, line.mid(bar + 1));
}

QString TMessages::Msg(const QString& key) const {
    return m_texts.value(key);
}

int TMessages::ShowMsg(const QString& key, int kind, int buttons, int) const {
    const auto it = m_texts.constFind(key);
    return kvo::Ui().ShowMessage(it != m_texts.constEnd() ? *it : key, kind, buttons);
}

QString kvo::FormatMsg(QString text, const QStringList& args) {
    qsizetype from = 0;
    for (const QString& a : args) {
        const qsizetype at = text.indexOf(QLatin1String("%s"), from);
        if (at < 0) break;
        text.replace(at, 2, a);
        from = at + a.size();
    }
    return text;
}
