// Prompts that answer without a person and remember what they were asked.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "app/dialogs/prompts.h"
#include "app/dialogs/save_dialog.h"

class FakePrompts : public Prompts {
 public:
  struct Message {
    QString text;
    QString caption;
    QMessageBox::StandardButtons buttons;
  };
  struct SaveRequest {
    QString title;
    QString proposed;
    QStringList filters;  // as the file dialog lists them
  };

  QMessageBox::StandardButton messageBox(QWidget*, const QString& text, const QString& caption,
                                         QMessageBox::StandardButtons buttons, QMessageBox::Icon) override {
    messages.push_back({text, caption, buttons});
    return answer;
  }
  // A question is kept with the messages (buttons Yes and No); `answer` Yes answers it
  // with Yes, anything else with No.
  bool question(QWidget*, const QString& text, const QString& caption) override {
    messages.push_back({text, caption, QMessageBox::Yes | QMessageBox::No});
    return answer == QMessageBox::Yes;
  }
  bool saveFileName(QWidget*, const TSaveDialog& dialog, QString& fileName) override {
    saves.push_back({dialog.Title(), fileName, dialog.nameFilters()});
    if (!saveAnswer) return false;
    fileName = *saveAnswer;
    return true;
  }
  int execDialog(QDialog& dialog) override {
    dialogs.push_back(&dialog);
    return dialogResult;
  }

  QMessageBox::StandardButton answer = QMessageBox::Ok;
  std::optional<QString> saveAnswer;
  int dialogResult = QDialog::Accepted;
  std::vector<Message> messages;
  std::vector<SaveRequest> saves;
  std::vector<QDialog*> dialogs;
};

// Installs fake prompts of type `Fake` for the lifetime of the object.
template <typename Fake>
class ScopedPrompts {
 public:
  ScopedPrompts() {
    auto fake = std::make_unique<Fake>();
    prompts_ = fake.get();
    previous_ = installPrompts(std::move(fake));
  }
  ~ScopedPrompts() { installPrompts(std::move(previous_)); }
  Fake* operator->() const { return prompts_; }
  Fake& get() const { return *prompts_; }

 private:
  Fake* prompts_;
  std::unique_ptr<Prompts> previous_;
};

using ScopedFakePrompts = ScopedPrompts<FakePrompts>;
