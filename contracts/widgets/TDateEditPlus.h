#pragma once

#include "FrameworkExport.h"

#include "StdControls.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

class QCalendarWidget;

// A date edit (prefix dep): shows and accepts dd/mm/yyyy, date 0 (an invalid QDate) is the empty
// text. A valid date is shown in ValidColor. A drop-down calendar opens with the button, F4 or
// Alt+Down.
class KVO_FRAMEWORK_EXPORT TDateEditPlus : public QWidget, public TFocusControl {
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget* parent = nullptr);

    // The date typed or set; an invalid QDate (date 0) for an empty, incomplete or impossible text.
    QDate GetDate() const;
    void SetDate(const QDate& date);
    void SetDate(const QDateTime& date) { SetDate(date.isValid() ? date.date() : QDate()); }
    void Clear() { SetDate(QDate()); }
    // First day of the month of the date (invalid without a date).
    QDate GetPrimDia() const;
    // Refuses an incomplete or impossible typed text with a message, keeping the focus here
    // (throws EAbort after the message). An empty text passes: it is date 0.
    void CheckValidDate();
    bool IsValidText() const;

    // "" for date 0, else "dd/mm/yyyy".
    QString Text() const;
    void SetText(const QString& text);
    // As shown, separators included ("  /  /    " when empty).
    QString EditText() const;

    QStringList DayNames() const { return m_dayNames; }
    void SetDayNames(const QStringList& names) { m_dayNames = names; }
    // Weekday name of the current date ("" for date 0).
    QString DayName() const;
    QString DayName(const QDate& date) const;

    QColor ValidColor() const { return m_validColor; }
    void SetValidColor(const QColor& color);
    void SetColor(const QColor& color);
    bool ReadOnly() const;
    void SetReadOnly(bool on);

    void DropDown();
    QCalendarWidget* Calendar() const { return m_calendar; }
    QLineEdit* LineEdit() const { return m_edit; }

    TNotifyEvent OnChange, OnDateChange;
    kvo::TKeyEvent OnKeyDown;
    kvo::TKeyPressEvent OnKeyPress;

private:
    friend class DateLine;
    bool parse(QDate* date, QString* problem) const;
    void textChanged();
    void pick(const QDate& date);

    QLineEdit* m_edit;
    QToolButton* m_button;
    QCalendarWidget* m_calendar = nullptr;
    QWidget* m_popup = nullptr;
    QStringList m_dayNames;
    QColor m_validColor = clBlue;
    QDate m_lastDate;
};
