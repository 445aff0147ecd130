// The real dialogs behind the prompts, and the replaceable instance.
#include "app/dialogs/prompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>

#include "app/dialogs/save_dialog.h"

namespace {
std::unique_ptr<Prompts>& current() {
  static std::unique_ptr<Prompts> prompts = std::make_unique<Prompts>();
  return prompts;
}
}  // namespace

Prompts& prompts() { return *current(); }

std::unique_ptr<Prompts> installPrompts(std::unique_ptr<Prompts> replacement) {
  std::unique_ptr<Prompts> previous = std::move(current());
  current() = replacement ? std::move(replacement) : std::make_unique<Prompts>();
  return previous;
}

QMessageBox::StandardButton Prompts::messageBox(QWidget* parent, const QString& text, const QString& caption,
                                                QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool Prompts::question(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool Prompts::saveFileName(QWidget* parent, const TSaveDialog& settings, QString& fileName) {
  QFileDialog dialog(parent, settings.Title());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(settings.nameFilters());
  dialog.setDefaultSuffix(settings.DefaultExt());
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (settings.Options() & ofOverwritePrompt) == 0);
  dialog.setSizeGripEnabled((settings.Options() & ofEnableSizing) != 0);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const QString chosen = dialog.selectedFiles().first();
    const QFileInfo info(chosen);
    if ((settings.Options() & ofNoReadOnlyReturn) != 0 && info.exists() && !info.isWritable()) {
      messageBox(
          &dialog,
          QCoreApplication::translate("Prompts", "%1\nThe file is write-protected. Choose another name.").arg(chosen),
          settings.Title(), QMessageBox::Ok, QMessageBox::Warning);
      continue;
    }
    fileName = chosen;
    return true;
  }
}

int Prompts::execDialog(QDialog& dialog) { return dialog.exec(); }

void showErrorBox(const QString& text) {
  prompts().messageBox(QApplication::activeWindow(), text, "Tessaron", QMessageBox::Ok, QMessageBox::Critical);
}
