#pragma once

#include <QMultiMap>
#include <QString>

#include <ostream>

class QCoreApplication;

// The command line as a sorted multi-map from option key to value. Prefixes
// ("-D", "--", "-") are stripped on request; "key=value" splits at "=";
// a bare key has a null value. A key given several times keeps every value,
// the last one given first.
class MappedProgramArguments
{
public:
    MappedProgramArguments(QCoreApplication* app, bool stripPrefixes);
    MappedProgramArguments(int argc, char** argv, bool stripPrefixes);

    bool contains(const QString& key) const;
    // The value given last for the key; logs "No key found: " and returns a null
    // string for a key that was not given.
    QString value(const QString& key) const;
    QStringList values(const QString& key) const;

    friend std::ostream& operator<<(std::ostream& stream, const MappedProgramArguments& arguments);

private:
    void parse(const QStringList& arguments, bool stripPrefixes);

    QMultiMap<QString, QString> m_arguments;
};

std::ostream& operator<<(std::ostream& stream, const MappedProgramArguments& arguments);
