#include "mappedprogramarguments.h"

#include "vqlog.h"

#include <QCoreApplication>
#include <QStringList>

MappedProgramArguments::MappedProgramArguments(QCoreApplication* /*app*/, bool stripPrefixes)
{
    parse(QCoreApplication::arguments(), stripPrefixes);
}

MappedProgramArguments::MappedProgramArguments(int argc, char** argv, bool stripPrefixes)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(argv[i] ? QString::fromLatin1(argv[i]) : QString());
    parse(arguments, stripPrefixes);
}

void MappedProgramArguments::parse(const QStringList& arguments, bool stripPrefixes)
{
    for (QString element : arguments) {
        if (stripPrefixes) {
            if (element.startsWith(QLatin1String("-D")) || element.startsWith(QLatin1String("--")))
                element.remove(0, 2);
            else if (element.startsWith(QLatin1Char('-')))
                element.remove(0, 1);
        }

#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
        const QStringList parts = element.split(QLatin1Char('='), Qt::SkipEmptyParts);
#else
        const QStringList parts = element.split(QLatin1Char('='), QString::SkipEmptyParts);
#endif
        if (parts.size() == 1) {
            m_arguments.insert(parts.first(), QString());
        } else if (parts.size() == 2) {
            m_arguments.insert(parts.first(), parts.last());
        } else {
            VqLog::error("Command line argument contained multiple '='!");
            // An element with no part at all ("", "=") has nothing to take a key
            // from, so it adds no entry.
            if (parts.size() > 2)
                m_arguments.insert(parts.first(), parts.last());
        }
    }
}

bool MappedProgramArguments::contains(const QString& key) const
{
    return m_arguments.contains(key);
}

QString MappedProgramArguments::value(const QString& key) const
{
    if (!m_arguments.contains(key)) {
        VqLog::error("No key found: {}", key);
        return QString();
    }
    return m_arguments.value(key);
}

QStringList MappedProgramArguments::values(const QString& key) const
{
    return m_arguments.values(key);
}

std::ostream& operator<<(std::ostream& stream, const MappedProgramArguments& arguments)
{
    stream << "MappedProgramArguments {\n";
    const QList<QString> keys = arguments.m_arguments.keys();
    for (const QString& key : keys) {
        stream << "key[" << key.toUtf8().constData() << "] : values[";
        const QStringList values = arguments.m_arguments.values(key);
        for (const QString& value : values)
            stream << value.toUtf8().constData();
        stream << "]";
    }
    stream << "}";
    return stream;
}
