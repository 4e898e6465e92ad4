#include "TPageControl.h"

#include "Dispatch.h"

#include <QTabBar>

TTabSheet::TTabSheet(TPageControl* owner, const QString& caption)
    : QWidget(nullptr), TFocusControl(this, Container), m_caption(caption) {
    if (owner) SetPageControl(owner);
}

void TTabSheet::SetPageControl(TPageControl* owner) {
    if (m_owner == owner) return;
    if (m_owner) {
        const int i = m_owner->indexOf(this);
        if (i >= 0) m_owner->quietly([&] { m_owner->removeTab(i); });
    }
    m_owner = owner;
    if (owner) owner->addSheet(this);
}

QString TTabSheet::Caption() const {
    return m_caption;
}

void TTabSheet::SetCaption(const QString& caption) {
    m_caption = caption;
    if (m_owner && PageIndex() >= 0) m_owner->setTabText(PageIndex(), caption);
}

int TTabSheet::PageIndex() const {
    return m_owner ? m_owner->indexOf(const_cast<TTabSheet*>(this)) : -1;
}

void TTabSheet::SetEnabled(bool on) {
    // The tab bar repaints on every write, even of the state it already shows.
    const int i = PageIndex();
    if (i >= 0 && m_owner->isTabEnabled(i) != on) m_owner->setTabEnabled(i, on);
    TFocusControl::SetEnabled(on);
}

void TTabSheet::SetTabVisible(bool on) {
    m_tabVisible = on;
    if (m_owner && PageIndex() >= 0) m_owner->quietly([&] { m_owner->setTabVisible(PageIndex(), on); });
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), TFocusControl(this, Container) {
    // The tabs never hold the focus themselves: Tab goes from the last control before the pages
    // straight into the active page.
    tabBar()->setFocusPolicy(Qt::NoFocus);
    // A person's tab click: the page switch itself is done here (the bar's own switch is
    // suppressed below) so that the focus follows the page as with SetActivePage.
    connect(tabBar(), &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0 || index == currentIndex() || !isTabEnabled(index)) return;
        if (kvo::Dispatch([&] { switchTo(index); }, {kvo::Pending::Drop})) kvo::Fire(OnChange, this);
    });
    // Every other page change that code did not ask for (keyboard) is a person's too.
    connect(this, &QTabWidget::currentChanged, this, [this](int) {
        if (!m_fromCode) kvo::Fire(OnChange, this);
    });
}

void TPageControl::addSheet(TTabSheet* page) {
    quietly([&] { addTab(page, page->m_caption); });
}

TTabSheet* TPageControl::ActivePage() const {
    return qobject_cast<TTabSheet*>(currentWidget());
}

TTabSheet* TPageControl::Pages(int index) const {
    return qobject_cast<TTabSheet*>(widget(index));
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (!page || page == ActivePage()) return;
    switchTo(indexOf(page));
}

void TPageControl::switchTo(int index) {
    TForm* form = Form();
    QWidget* old = currentWidget();
    QWidget* focused = form ? form->FocusedControl() : nullptr;
    const bool focusOnOld = old && focused && old->isAncestorOf(focused);
    if (!form || !focusOnOld) {
        quietly([&] { setCurrentIndex(index); });
        return;
    }
    form->WithoutFocusTracking([&] { quietly([&] { setCurrentIndex(index); }); });
    if (QWidget* first = form->FirstControlIn(currentWidget())) {
        if (std::exception_ptr err = form->MoveFocus(first)) kvo::ShowException(err);
    } else {
        form->SyncWithQtFocus();
    }
}
