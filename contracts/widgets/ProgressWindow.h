#pragma once

#include "FrameworkExport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QPushButton;

// The small modeless window shown over the main window while the server works: an animation
// per kind (connecting, saving, loading) and a caption.
class KVO_FRAMEWORK_EXPORT ProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* over = nullptr);

    void start(int kind, const QString& caption, QWidget* over);
    void stop();
    // A job that knows its size: a bar and a cancel button join the animation. Keeps the window
    // painted and its button answering while the job holds the event loop; false once the button
    // was pressed.
    bool progress(qint64 done, qint64 total);
    bool cancelled() const { return m_cancelled; }
    qint64 done() const { return m_done; }
    qint64 total() const { return m_total; }
    int kind() const { return m_kind; }
    QString caption() const { return m_caption; }

    static QString defaultCaption(int kind);

protected:
    void paintEvent(QPaintEvent* event) override;
    // While a job runs with a cancel button, input meant for other windows is dropped.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void endJob(); // back to the animation alone: no bar, no button, input flows
    int m_kind = 6;
    int m_frame = 0;
    QString m_caption;
    QTimer m_timer;
    QPushButton* m_cancel;
    qint64 m_done = -1, m_total = 0;
    bool m_cancelled = false;
    QElapsedTimer m_sinceUpdate;
};
