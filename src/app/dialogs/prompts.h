// The one way the windows ask the user something modally: message boxes, the file-save
// dialog and modal windows (About, record settings). Tests install their own answers.
#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

class QDialog;
class QWidget;
class TSaveDialog;

class Prompts {
 public:
  virtual ~Prompts() = default;

  // A message box; returns the button that closed it.
  virtual QMessageBox::StandardButton messageBox(QWidget* parent, const QString& text, const QString& caption,
                                                 QMessageBox::StandardButtons buttons, QMessageBox::Icon icon);
  // A question answered with Yes or No, where No is the default and the answer of
  // Escape; true for Yes.
  virtual bool question(QWidget* parent, const QString& text, const QString& caption);
  // The file-save dialog set up by `dialog`; true with the chosen name in `fileName`
  // when the user confirms one (`fileName` comes in as the name to propose).
  virtual bool saveFileName(QWidget* parent, const TSaveDialog& dialog, QString& fileName);
  // Any other modal window; returns its result (QDialog::Accepted or Rejected).
  virtual int execDialog(QDialog& dialog);
};

// The prompts in use.
Prompts& prompts();
// Replaces the prompts in use and returns the previous ones (nullptr restores the
// real dialogs).
std::unique_ptr<Prompts> installPrompts(std::unique_ptr<Prompts> replacement);

// The application's general error box: the text of an error that no handler caught,
// captioned "Tessaron".
void showErrorBox(const QString& text);
