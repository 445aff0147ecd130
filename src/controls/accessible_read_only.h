// The text interface shared by the controls whose text is read as a label's is.
#pragma once

#include <QAccessible>
#include <QAccessibleWidget>

// A control whose text is read, never edited or selected, as a screen reader reads a label;
// `fullText` is that text.
class AccessibleReadOnly : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  AccessibleReadOnly(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

  virtual QString fullText() const = 0;

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    return s;
  }
  QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }

  void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override {
    const QString all = fullText();
    startOffset = qBound(0, startOffset, int(all.size()));
    endOffset = qBound(startOffset, endOffset < 0 ? int(all.size()) : endOffset, int(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return int(fullText().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* startOffset, int* endOffset) const override {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
  }
};
