#include "TDataSource.h"

#include <algorithm>
#include <utility>

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}

TDataSource::TDataSource(TClientDataSet* dataSet, QObject* parent) : QObject(parent) {
    SetDataSet(dataSet);
}

TDataSource::~TDataSource() {
    if (m_dataSet) m_dataSet->detachSource(this);
    const auto links = std::exchange(m_links, {});
    for (Link* l : links)
        l->sourceDestroyed();
}

void TDataSource::SetDataSet(TClientDataSet* dataSet) {
    if (dataSet == m_dataSet) return;
    if (m_dataSet) m_dataSet->detachSource(this);
    m_dataSet = dataSet;
    if (m_dataSet) m_dataSet->attachSource(this);
    notifyActiveChange();
}

TDataSetState TDataSource::State() const {
    if (!m_dataSet || !m_enabled) return dsInactive;
    return m_dataSet->State();
}

void TDataSource::SetEnabled(bool on) {
    if (on == m_enabled) return;
    m_enabled = on;
    notifyActiveChange();
}

void TDataSource::addLink(Link* link) {
    if (link && std::find(m_links.begin(), m_links.end(), link) == m_links.end()) m_links.push_back(link);
}

void TDataSource::removeLink(Link* link) {
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

// Links are copied before iterating: a control may unlink itself while reacting.
void TDataSource::notifyStateChange() {
    if (!m_enabled) return;
    const auto links = m_links;
    for (Link* l : links)
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end()) l->stateChanged();
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::notifyDataChange(TField* field) {
    if (!m_enabled) return;
    const auto links = m_links;
    for (Link* l : links)
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end()) l->dataChanged(field);
    if (OnDataChange) OnDataChange(this, field);
}

void TDataSource::notifyActiveChange() {
    const auto links = m_links;
    for (Link* l : links)
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end()) l->activeChanged();
}

void TDataSource::notifyViewChange(const TViewChange& change) {
    if (!m_enabled) return;
    const auto links = m_links;
    for (Link* l : links)
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end()) l->viewChanged(change);
}

void TDataSource::notifyUpdateData() {
    if (!m_enabled) return;
    const auto links = m_links;
    for (Link* l : links)
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end()) l->updateData();
}

bool TDataSource::notifyFocusField(TField* field) {
    if (!m_enabled) return false;
    const auto links = m_links;
    for (Link* l : links)
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end() && l->focusField(field))
            return true;
    return false;
}

// ---- TDataLink ----------------------------------------------------------------------------------

TDataLink::~TDataLink() {
    if (m_source) m_source->removeLink(this);
}

bool TDataLink::SetDataSource(TDataSource* source) {
    if (source == m_source) return false;
    if (m_source) m_source->removeLink(this);
    m_source = source;
    if (m_source) m_source->addLink(this);
    return true;
}

TField* TDataLink::FindField(const QString& name) const {
    TClientDataSet* ds = DataSet();
    return ds && !name.isEmpty() ? ds->FindField(name) : nullptr;
}

void TDataLink::activeChanged() {
    if (OnActiveChange) OnActiveChange();
}

void TDataLink::stateChanged() {
    if (OnStateChange) OnStateChange();
}

void TDataLink::dataChanged(TField* field) {
    if (OnDataChange) OnDataChange(field);
}

void TDataLink::updateData() {
    if (OnUpdateData) OnUpdateData();
}

bool TDataLink::focusField(TField* field) {
    return OnFocusField && OnFocusField(field);
}
