#pragma once

#include "FrameworkExport.h"

#include <QTimer>
#include <QWidget>

// The small modeless window shown over the main window while the server works: an animation
// per kind (connecting, saving, loading) and a caption.
class KVO_FRAMEWORK_EXPORT ProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* over = nullptr);

    void start(int kind, const QString& caption, QWidget* over);
    void stop();
    int kind() const { return m_kind; }
    QString caption() const { return m_caption; }

    static QString defaultCaption(int kind);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_kind = 6;
    int m_frame = 0;
    QString m_caption;
    QTimer m_timer;
};
