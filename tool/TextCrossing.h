// The road by which the language file commands and the value editor dialog
// pass texts between the system's bytes and the window toolkit's strings.
#pragma once

#include <QString>

#include <string>

namespace morlex {

/// Bytes as the toolkit shows them.
inline QString ToQt(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

/// A toolkit text as the system's bytes.
inline std::string FromQt(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace morlex
