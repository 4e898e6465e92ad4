#include "ProgressWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QWindow>
#include <QtMath>

ProgressWindow::ProgressWindow(QWidget* over)
    : QWidget(over, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(320, 110);
    m_cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancelar"));
    m_cancel->setGeometry(width() - 100, height() - 34, 90, 26);
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        m_cancel->setEnabled(false);
    });
    m_timer.setInterval(60);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % 1000;
        update();
    });
}

QString ProgressWindow::defaultCaption(int kind) {
    switch (kind) {
    case 0:
        return QStringLiteral("Conectando ao servidor...");
    case 1:
        return QStringLiteral("Gravando...");
    case 6:
        return QStringLiteral("Carregando...");
    default:
        return QStringLiteral("Aguarde...");
    }
}

void ProgressWindow::start(int kind, const QString& caption, QWidget* over) {
    m_kind = kind;
    m_caption = caption.isEmpty() ? defaultCaption(kind) : caption;
    m_frame = 0;
    endJob();
    m_cancelled = false;
    m_cancel->setEnabled(true);
    if (over) {
        const QRect area = over->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    m_timer.start();
    // Server calls block the event loop; paint once now so the window is never blank.
    repaint();
}

void ProgressWindow::stop() {
    m_timer.stop();
    endJob();
    hide();
}

void ProgressWindow::endJob() {
    if (m_done >= 0) qApp->removeEventFilter(this);
    m_done = -1;
    m_total = 0;
    m_cancel->hide();
}

bool ProgressWindow::progress(qint64 done, qint64 total) {
    if (m_done < 0) {
        m_cancel->show();
        qApp->installEventFilter(this);
        m_sinceUpdate.invalidate();
    }
    m_done = done;
    m_total = total;
    // A few updates a second keep the window alive without slowing the job down.
    if (!m_sinceUpdate.isValid() || m_sinceUpdate.elapsed() >= 100 || done >= total) {
        m_sinceUpdate.start();
        m_frame = (m_frame + 1) % 1000;
        repaint();
        QApplication::processEvents();
    }
    return !m_cancelled;
}

bool ProgressWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Close: {
        // Events reach a window's QWindow before its widgets; both belong to one window or another.
        if (auto* w = qobject_cast<QWidget*>(watched)) {
            if (w->window() == this) break;
        } else if (auto* win = qobject_cast<QWindow*>(watched)) {
            if (win == windowHandle()) break;
        } else {
            break;
        }
        // Escape anywhere asks to cancel, as the button does.
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            m_cancel->click();
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ProgressWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face(0xF0, 0xF0, 0xF0), frame(0x7A, 0x8C, 0xA5), accent(0x1F, 0x5F, 0xA8);
    p.fillRect(rect(), face);
    p.setPen(QPen(frame, 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    const QRectF icon(18, 25, 60, 60);
    switch (m_kind) {
    case 0: { // connecting: two plugs with pulses travelling between them
        p.setPen(QPen(accent, 3));
        p.drawLine(QPointF(icon.left(), icon.center().y()), QPointF(icon.right(), icon.center().y()));
        p.setBrush(accent);
        p.drawRect(QRectF(icon.left() - 4, icon.center().y() - 10, 10, 20));
        p.drawRect(QRectF(icon.right() - 6, icon.center().y() - 10, 10, 20));
        const double t = (m_frame % 20) / 20.0;
        p.setBrush(QColor(0xF5, 0xA6, 0x23));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(icon.left() + 6 + t * (icon.width() - 12), icon.center().y()), 5, 5);
        break;
    }
    case 1: { // saving: a page sliding into a drive
        const double t = (m_frame % 24) / 24.0;
        p.setPen(QPen(frame, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(icon.left() + 14, icon.top() - 6 + t * 30, 32, 26));
        p.setBrush(accent);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(icon.left(), icon.top() + 34, icon.width(), 24), 4, 4);
        p.setBrush(QColor(0x7E, 0xD3, 0x21));
        p.drawEllipse(QPointF(icon.right() - 10, icon.top() + 46), 3, 3);
        break;
    }
    default: { // loading: a rotating ring of dots
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 12; ++i) {
            const double a = (i * 30 + m_frame * 30) * M_PI / 180.0;
            QColor c = accent;
            c.setAlphaF(0.15 + 0.85 * i / 11.0);
            p.setBrush(c);
            p.drawEllipse(QPointF(icon.center().x() + 22 * std::cos(a), icon.center().y() + 22 * std::sin(a)),
                          4, 4);
        }
        break;
    }
    }

    QFont f = font();
    f.setPointSize(10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x20, 0x20, 0x20));
    const bool bar = m_done >= 0 && m_total > 0;
    p.drawText(QRectF(95, bar ? 10 : 20, width() - 110, bar ? 40 : height() - 40),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, m_caption);
    if (bar) {
        const QRectF track(95, 54, width() - 110, 10);
        p.setPen(QPen(frame, 1));
        p.setBrush(Qt::white);
        p.drawRect(track);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(track.topLeft(), QSizeF(track.width() * std::min<qint64>(m_done, m_total) / m_total,
                                                  track.height())));
    }
}
