#pragma once
// The data module: the program's single connection to the scale database and
// the roster query. Used on the GUI thread only.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <stdexcept>
#include <vector>

class TDbEngine;

// A failure of the database: opening, a statement, or reading a field.
// what() is the failure's own message (UTF-8).
class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Connection to the Access file. Its definition is a list of name=value
// parameters ("Database", "ReadOnly", "DriverID").
class TFDConnection : public QObject {
    Q_OBJECT
public:
    explicit TFDConnection(QObject* owner = nullptr);
    ~TFDConnection() override;

    QStringList Params; // "Database=...", "ReadOnly=False", "DriverID=MSAcc"

    QString Param(const QString& name) const;
    void SetParam(const QString& name, const QString& value);

    // Opens the connection (no prompt, no busy pointer); does nothing when open.
    // Throws EDatabaseError with the engine's diagnostic text.
    void Open();
    // Closes the connection; does nothing when closed. May be opened again.
    // Throws EDatabaseError when the driver will not end the connection; it
    // then stays open (and usable) and a later Close tries again.
    void Close();
    bool Connected() const;
    // What reads the file (the ODBC driver's name or the built-in reader);
    // empty before the first opening.
    QString EngineDescription() const;
    // The engine beneath (null before the first opening).
    TDbEngine* Engine() const { return FEngine.get(); }

    // Scalar query: `sql` with its parameters (":name") bound to `params` in
    // order. Opens the connection first when it is closed, and leaves it open.
    // Yields the first column of the first row: a NULL stays NULL (a valid
    // QVariant for which isNull() is true); no row gives an invalid QVariant
    // (!isValid()). Values arrive as bool (Yes/No), qlonglong, double or
    // QString (texts, and dates as "yyyy-MM-dd HH:mm:ss"). Parameters may be
    // bool, integers, double, QString, QDateTime or a null QVariant.
    QVariant ExecSQLScalar(const QString& sql, const QVariantList& params = {});

    // The rows of a statement, all at once (used by the roster query).
    struct TResult {
        QStringList columns;
        std::vector<QVariantList> rows;
    };
    TResult ExecSQL(const QString& sql, const QVariantList& params = {});

private:
    std::unique_ptr<TDbEngine> FEngine;
};

// A read-only query over a connection, read row by row.
class TFDQuery : public QObject {
    Q_OBJECT
public:
    explicit TFDQuery(QObject* owner = nullptr);

    TFDConnection* Connection = nullptr;
    QString SQL;

    // Runs SQL (opening the connection first when it is closed) and stands on
    // the first row. An open query is closed and run again. On failure the
    // query is left closed.
    void Open();
    void Close();
    bool Active() const { return FActive; }

    void First();
    void Next();
    bool Eof() const;
    // Position of the current row, counted from 1 (0 when there is none).
    int RecNo() const;

    // The named column of the current row as text (names compared without
    // regard to case); NULL reads as the empty text. An unknown name throws
    // EDatabaseError naming the field.
    QString FieldAsString(const QString& fieldName) const;

private:
    bool FActive = false;
    TFDConnection::TResult FResult;
    qsizetype FRow = 0;
};

// The data module.
class TDMMain : public QObject {
    Q_OBJECT
public:
    explicit TDMMain(QObject* owner = nullptr);

    TFDConnection* FDCMain;
    TFDQuery* qryScales;
};

// The program-wide reference to the data module (null while there is none).
extern TDMMain* DMMain;

// The fixed path of the scale database, as Windows programs see it.
extern const QString DatabasePath;
