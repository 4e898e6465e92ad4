#include "TDateEditPlus.h"

#include "Dispatch.h"
#include "HostUi.h"
#include "StdControls.h"
#include "data/Conversions.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>

// The inner line edit: keys go through the date edit's handlers first.
class DateLine : public QLineEdit {
public:
    DateLine(TDateEditPlus* owner) : QLineEdit(owner), m_owner(owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) ||
            (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
            m_owner->DropDown();
            return;
        }
        kvo::RunKeyHandlers(m_owner, event, m_owner->OnKeyDown, m_owner->OnKeyPress,
                            [this](QKeyEvent* e) { QLineEdit::keyPressEvent(e); });
    }
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        // An empty date is selected whole too, so typing starts at its first position.
        kvo::AutoSelect(this, event);
    }

private:
    TDateEditPlus* m_owner;
};

namespace {

QIcon calendarGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(0xC0, 0x39, 0x2B));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            p.fillRect(3 + c * 3, 7 + r * 2, 2, 1, QColor(0x60, 0x60, 0x60));
    return QIcon(pm);
}

} // namespace

TDateEditPlus::TDateEditPlus(QWidget* parent)
    : QWidget(parent), TFocusControl(this), m_dayNames{QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                                       QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                                                       QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                                       QStringLiteral("Sábado")} {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_edit = new DateLine(this);
    m_edit->setInputMask(QStringLiteral("99/99/9999; "));
    m_edit->setText(QString());
    m_button = new QToolButton(this);
    m_button->setIcon(calendarGlyph());
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setToolTip(QStringLiteral("Calendário"));
    layout->addWidget(m_edit);
    layout->addWidget(m_button);
    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    setFixedWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 34);
    connect(m_edit, &QLineEdit::textChanged, this, [this] { textChanged(); });
    connect(m_button, &QToolButton::clicked, this,
            [this] { kvo::Dispatch([this] { DropDown(); }, {.owner = this}); });
}

bool TDateEditPlus::parse(QDate* date, QString* problem) const {
    const QString shown = m_edit->displayText();
    *date = QDate();
    QString digits;
    for (QChar c : shown)
        if (c != QLatin1Char('/')) digits += c;
    if (digits.trimmed().isEmpty()) return true; // date 0
    if (digits.contains(QLatin1Char(' ')) || digits.size() != 8) {
        *problem = QStringLiteral("Data incompleta: \"%1\". Informe a data no formato dd/mm/aaaa.")
                       .arg(shown.trimmed());
        return false;
    }
    const QDate d = kvo::data::parseDisplayDate(shown);
    if (!d.isValid() || d.year() < 1753) {
        *problem = QStringLiteral("\"%1\" não é uma data válida.").arg(shown);
        return false;
    }
    *date = d;
    return true;
}

QDate TDateEditPlus::GetDate() const {
    QDate d;
    QString problem;
    return parse(&d, &problem) ? d : QDate();
}

bool TDateEditPlus::IsValidText() const {
    QDate d;
    QString problem;
    return parse(&d, &problem);
}

void TDateEditPlus::SetDate(const QDate& date) {
    m_edit->setText(kvo::data::displayDate(date));
}

QDate TDateEditPlus::GetPrimDia() const {
    const QDate d = GetDate();
    return d.isValid() ? QDate(d.year(), d.month(), 1) : QDate();
}

void TDateEditPlus::CheckValidDate() {
    QDate d;
    QString problem;
    if (parse(&d, &problem)) return;
    try {
        if (CanFocus()) SetFocus();
    } catch (...) {
    }
    Consiste::MensErro(problem, true);
}

QString TDateEditPlus::Text() const {
    const QString shown = m_edit->displayText();
    QString digits = shown;
    digits.remove(QLatin1Char('/'));
    return digits.trimmed().isEmpty() ? QString() : shown;
}

void TDateEditPlus::SetText(const QString& text) {
    m_edit->setText(text);
}

QString TDateEditPlus::EditText() const {
    return m_edit->displayText();
}

QString TDateEditPlus::DayName() const {
    return DayName(GetDate());
}

QString TDateEditPlus::DayName(const QDate& date) const {
    if (!date.isValid()) return QString();
    return m_dayNames.value(date.dayOfWeek() % 7); // Qt: Monday 1 .. Sunday 7
}

void TDateEditPlus::SetValidColor(const QColor& color) {
    m_validColor = color;
    textChanged();
}

void TDateEditPlus::SetColor(const QColor& color) {
    kvo::SetBackground(m_edit, color, QPalette::Base);
}

bool TDateEditPlus::ReadOnly() const {
    return m_edit->isReadOnly();
}

void TDateEditPlus::SetReadOnly(bool on) {
    m_edit->setReadOnly(on);
    m_button->setEnabled(!on);
}

void TDateEditPlus::textChanged() {
    QDate d;
    QString problem;
    const bool valid = parse(&d, &problem) && d.isValid();
    kvo::SetTextColor(m_edit, valid ? m_validColor : clWindowText);
    kvo::Fire(OnChange, this);
    if (valid && d != m_lastDate) {
        m_lastDate = d;
        kvo::Fire(OnDateChange, this);
    } else if (!valid) {
        m_lastDate = QDate();
    }
}

void TDateEditPlus::DropDown() {
    if (ReadOnly() || !isEnabled()) return;
    if (!m_popup) {
        m_popup = new QWidget(this, Qt::Popup);
        auto* layout = new QHBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        m_calendar = new QCalendarWidget(m_popup);
        m_calendar->setGridVisible(true);
        m_calendar->setFirstDayOfWeek(Qt::Sunday);
        m_calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        layout->addWidget(m_calendar);
        connect(m_calendar, &QCalendarWidget::activated, this, [this](const QDate& d) { pick(d); });
        connect(m_calendar, &QCalendarWidget::clicked, this, [this](const QDate& d) { pick(d); });
    }
    const QDate d = GetDate();
    m_calendar->setSelectedDate(d.isValid() ? d : QDate::currentDate());
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    m_calendar->setFocus();
}

void TDateEditPlus::pick(const QDate& date) {
    m_popup->hide();
    kvo::Dispatch([this, date] { SetDate(date); }, {.owner = this});
    m_edit->setFocus();
}
