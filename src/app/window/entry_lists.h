// The walk over the main window's entry lists (the meter sources of ComboBox1, the
// level-control inputs of ComboBox3): singly linked entries, in the order of the list's
// items, each list with its first, last and selected entry.
#pragma once

// Entry `index` of the list that starts at `first`, or `current` for a negative index
// (nothing chosen). An index past the end gives nil.
template <typename Entry>
Entry* entryAt(Entry* first, int index, Entry* current) {
  if (index < 0) return current;
  Entry* cursor = first;
  Entry* selected = current;
  for (int i = 0; i <= index; ++i) {
    selected = cursor;
    if (cursor != nullptr) cursor = cursor->next;
  }
  return selected;
}
