#pragma once

#include "FrameworkExport.h"

#include "data/TClientDataSet.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <initializer_list>
#include <map>

// One named parameter of a query. Values are always bound, never spliced into the text.
class KVO_FRAMEWORK_EXPORT TParam {
public:
    explicit TParam(QString name) : m_name(std::move(name)) {}
    const QString& Name() const { return m_name; }
    QVariant Value() const { return m_value; }
    void SetValue(const QVariant& v) { m_value = v; }
    QString AsString() const { return m_value.toString(); }
    void SetAsString(const QString& s) { m_value = s; }
    void Clear() { m_value = QVariant(); }

private:
    QString m_name;
    QVariant m_value;
};

// A read-only query over the shared connection (dtmDBGeral) holding one SQL text per dialect.
// Opening runs the text that fits the connection's driver (SQL for SQLite and PostgreSQL; an
// empty dialect slot falls back to SQL) and loads the rows into the inner record set Query(),
// so data sources and lookups use it like any set. When the screen defines Query()'s fields,
// the columns are taken by name and sized per field; otherwise the result's own columns are used.
class KVO_FRAMEWORK_EXPORT TADOIBQuery : public QObject {
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject* parent = nullptr);
    ~TADOIBQuery() override;

    QStringList SQL, SQL_ORACLE, SQL_MSSQL, SQL_IB;

    // The parameter of that name (with or without the leading ':'); a name the running text
    // does not use is an EDatabaseError. A parameter left without a value is bound as null.
    TParam& ParamByName(const QString& name);

    void Open(); // throws EDatabaseError with the database's message on failure
    void Close();
    bool Active() const;
    void First();
    void Next();
    bool Eof() const;
    bool IsEmpty() const;
    int RecordCount() const;
    TField* FieldByName(const QString& name) const;

    TClientDataSet* Query() const { return m_set; }

    // The text Open runs for the current connection, and the parameter names in order of use.
    QString ActiveSQL() const;
    static QStringList ParamNames(const QString& sql);

    // Runs on another named Qt SQL connection instead of the shared one (tests, tools).
    void SetConnectionName(const QString& name) { m_connectionName = name; }

private:
    TClientDataSet* m_set;
    std::map<QString, TParam> m_params; // by upper-case name
    QString m_connectionName;
};

namespace kvo {
// A column of a lookup query: a text field of that size, listed under its label (nullptr: carried
// but not listed).
struct LookupColumn {
    const char* name;
    int size;
    const char* label;
};
// A lookup query with the same text in every dialect slot and its columns in list order.
KVO_FRAMEWORK_EXPORT TADOIBQuery* NewLookupQuery(QObject* owner, const char* name, const QStringList& text,
                                                 std::initializer_list<LookupColumn> columns);
} // namespace kvo
