#pragma once
// The tests' one fake `ping` (fake-ping.sh): first on PATH while the object
// lives, with its behaviour chosen per address.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class TFakePing {
public:
    // `DefaultMode`: the behaviour of an address without a mode of its own
    // (see fake-ping.sh; "reply" answers at once, "canned" prints the text
    // SetOutput gave, nothing when none).
    explicit TFakePing(const QString& DefaultMode = QStringLiteral("reply"));
    ~TFakePing();
    TFakePing(const TFakePing&) = delete;
    TFakePing& operator=(const TFakePing&) = delete;

    QString Dir() const { return FDir.path(); }
    // The behaviour for `Address`; an empty mode gives it the default again.
    void SetMode(const QString& Address, const QString& Mode);
    // The behaviour of every address without a mode of its own; empty:
    // "reply".
    void SetDefaultMode(const QString& Mode);
    // The output of a "canned" address.
    void SetOutput(const QString& Address, const QString& Output);
    // How often `Address` has been probed.
    int Calls(const QString& Address) const;
    // The argument lists of every call so far, each as its arguments.
    QList<QStringList> Calls() const;
    void ClearCalls();

private:
    void WriteFile(const QString& Name, const QString& Text);

    QTemporaryDir FDir;
    QByteArray FOldPath;
};

} // namespace testsupport
