// The file-save dialog component.
#include "app/dialogs/save_dialog.h"

#include <QFileInfo>

#include "app/dialogs/prompts.h"

bool TSaveDialog::Execute(QWidget* parent) {
  QString name = fileName_;
  if (!prompts().saveFileName(parent, *this, name)) return false;
  fileName_ = withDefaultExt(name);
  return true;
}

QStringList TSaveDialog::nameFilters() const {
  QStringList filters;
  const QStringList parts = filter_.split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // Several patterns of one entry are separated by ";" here and by blanks there.
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << QString("%1 (%2)").arg(parts[i], patterns.simplified());
  }
  return filters;
}

QString TSaveDialog::withDefaultExt(const QString& name) const {
  if (name.isEmpty() || defaultExt_.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
  return name + "." + defaultExt_;
}
