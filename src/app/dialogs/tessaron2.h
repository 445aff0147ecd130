// TForm2: the About window with the version line above the credits.
#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class TForm2 : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TForm2)

 public:
  explicit TForm2(QWidget* parent = nullptr);

  // "Tessaron Version <major>.<minor>".
  static QString versionLine(unsigned major, unsigned minor);

  QPlainTextEdit* Memo1;
  QPushButton* Button1;

  void FormCreate();
  void Button1Click();
};

// The About window of the running program; created hidden at start.
extern TForm2* Form2;
