#pragma once

#include "FrameworkExport.h"

#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QTextBrowser;

// The host's help window: a compiled help collection, its contents on the left and the page on the
// right, opened at the topic a screen names by its help context.
class KVO_FRAMEWORK_EXPORT HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& collection, QWidget* parent = nullptr);
    ~HelpWindow() override;

    QString collection() const { return m_collection; }
    // Shows the topic of the context; false when the collection has no such topic.
    bool open(int context);
    QUrl source() const;
    QTextBrowser* browser() const { return m_browser; }

private:
    QString m_collection;
    QHelpEngine* m_engine;
    QTextBrowser* m_browser;
};
