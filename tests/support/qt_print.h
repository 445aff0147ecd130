// Qt's strings in GoogleTest's failure messages as text rather than bytes.
#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

inline void PrintTo(const QStringList& texts, std::ostream* os) {
  *os << '{';
  for (qsizetype i = 0; i < texts.size(); ++i) {
    if (i > 0) *os << ", ";
    PrintTo(texts[i], os);
  }
  *os << '}';
}
