// A main window on the virtual card with a private settings store, and prompts that
// answer without a person.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/fake_prompts.h"
#include "app/tessaron1.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"

// XDG_CONFIG_HOME points into a temporary folder for the object's lifetime, so the
// settings store is a fresh file of the test's own.
class ScopedConfigHome {
 public:
  ScopedConfigHome() : hadPrevious_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    previous_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
  }
  ~ScopedConfigHome() {
    if (hadPrevious_)
      qputenv("XDG_CONFIG_HOME", previous_);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

  QString storeFile() const { return dir_.path() + "/tessaron/registry.json"; }

 private:
  QTemporaryDir dir_;
  bool hadPrevious_;
  QByteArray previous_;
};

// Fake prompts whose modal windows are handled by `onDialog` (the dialog is set up and
// not shown); without it they close with `dialogResult`.
class DialogPrompts : public FakePrompts {
 public:
  int execDialog(QDialog& dialog) override {
    FakePrompts::execDialog(dialog);
    return onDialog ? onDialog(dialog) : dialogResult;
  }
  std::function<int(QDialog&)> onDialog;
};

using ScopedDialogPrompts = ScopedPrompts<DialogPrompts>;

// A main window created on `card`, the way the program creates it.
inline std::unique_ptr<TForm1> openForm(VirtualCard card = VirtualCard::defaultCard()) {
  mmsystem::installDriver(std::make_unique<VirtualDriver>(std::move(card)));
  return std::make_unique<TForm1>();
}
