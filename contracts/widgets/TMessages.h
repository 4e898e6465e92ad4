#pragma once

#include "FrameworkExport.h"

#include <QHash>
#include <QObject>
#include <QStringList>

// A screen's message catalog (prefix msg): lines "key|text". Texts are kept exactly as written
// (blanks, accents and "%s" placeholders included); the first "|" separates key and text.
class KVO_FRAMEWORK_EXPORT TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* parent = nullptr);
    TMessages(const QStringList& lines, QObject* parent = nullptr);

    const QStringList& Lines() const { return m_lines; }
    void SetLines(const QStringList& lines);
    void AddLine(const QString& line);
    void Add(const QString& key, const QString& text) { AddLine(key + QLatin1Char('|') + text); }

    bool Contains(const QString& key) const { return m_texts.contains(key); }
    // The text of the key; "" for an unknown key.
    QString Msg(const QString& key) const;
    // Shows the key's text as a modal dialog (kind, button set as in HostUi) and returns the
    // result code. An unknown key shows the key itself rather than an empty box.
    int ShowMsg(const QString& key, int kind, int buttons, int help = 0) const;

private:
    QStringList m_lines;
    QHash<QString, QString> m_texts;
};
