// The file-save dialog as a component: its settings are kept between runs and Execute
// shows it (through the prompts) with the current file name proposed.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

enum TOpenOption : uint32_t {
  ofOverwritePrompt = 1u << 0,   // ask before replacing an existing file
  ofHideReadOnly = 1u << 1,      // no "open read-only" box
  ofNoReadOnlyReturn = 1u << 2,  // refuse a file that cannot be written
  ofEnableSizing = 1u << 3,      // the dialog can be resized
};

class TSaveDialog {
 public:
  QString Title() const { return title_; }
  void setTitle(const QString& v) { title_ = v; }
  // Pairs of description and pattern separated by "|": "Wave-Datei|*.wav|Alle Dateien|*.*".
  QString Filter() const { return filter_; }
  void setFilter(const QString& v) { filter_ = v; }
  QString DefaultExt() const { return defaultExt_; }
  void setDefaultExt(const QString& v) { defaultExt_ = v; }
  QString FileName() const { return fileName_; }
  void setFileName(const QString& v) { fileName_ = v; }
  uint32_t Options() const { return options_; }
  void setOptions(uint32_t v) { options_ = v; }

  // Shows the dialog; true when the user confirmed a name, which is then FileName.
  bool Execute(QWidget* parent);

  // The filter as name filters of the toolkit's file dialog ("Wave-Datei (*.wav)").
  QStringList nameFilters() const;
  // A typed name completed with DefaultExt when it has no extension of its own.
  QString withDefaultExt(const QString& name) const;

 private:
  QString title_;
  QString filter_;
  QString defaultExt_;
  QString fileName_;
  uint32_t options_ = 0;
};
