#pragma once

#include "FrameworkExport.h"

#include "Focus.h"

#include <QTabWidget>

class TPageControl;

// A page of a page control (prefix tsh); a container of the focus model. Disabling a page
// disables its tab too.
class KVO_FRAMEWORK_EXPORT TTabSheet : public QWidget, public TFocusControl {
    Q_OBJECT
public:
    // Creates the page as the last one of `owner` (when given).
    explicit TTabSheet(TPageControl* owner = nullptr, const QString& caption = QString());

    TPageControl* PageControl() const { return m_owner; }
    void SetPageControl(TPageControl* owner);
    QString Caption() const;
    void SetCaption(const QString& caption);
    int PageIndex() const;
    void SetEnabled(bool on) override;
    bool TabVisible() const { return m_tabVisible; }
    void SetTabVisible(bool on);

private:
    friend class TPageControl;
    TPageControl* m_owner = nullptr;
    QString m_caption;
    bool m_tabVisible = true;
};

// Pages with tabs (prefix pgc); a container of the focus model, so its OnExit fires only when the
// focus leaves it entirely. OnChange fires when a person changes the page by its tab, never for
// SetActivePage from code.
class KVO_FRAMEWORK_EXPORT TPageControl : public QTabWidget, public TFocusControl {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    TTabSheet* ActivePage() const;
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const { return currentIndex(); }
    int PageCount() const { return count(); }
    TTabSheet* Pages(int index) const;

    TNotifyEvent OnChange;

private:
    friend class TTabSheet;
    void addSheet(TTabSheet* page);
    // Switches pages; a focus that was on the old page goes to the first control of the new one.
    void switchTo(int index);
    // Runs a page change made by code, so that it reports no OnChange.
    template <typename F> void quietly(F change) {
        const bool was = m_fromCode;
        m_fromCode = true;
        change();
        m_fromCode = was;
    }
    bool m_fromCode = false;
};
