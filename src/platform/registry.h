// Per-user typed key/value store with registry semantics: keys in a path
// ("\Software\Morvadel\Tessaron\1.0"), typed values, open with or without creating,
// deletion of a key with its subkeys. Key and value names are compared without regard
// to case and keep the case they were created with.
//
// The store is one JSON file, $XDG_CONFIG_HOME/tessaron/registry.json (default
// ~/.config). Every operation reads the file afresh and every change is written at once
// and atomically, so several Registry objects (and program instances) see one store. A
// file that cannot be parsed reads as an empty store and is kept aside as
// registry.json.corrupt.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <stdexcept>

enum class RegistryType { Untyped, Integer, String, ExpandString, Binary };

struct RegistryDataInfo {
  RegistryType type;
  qsizetype size;  // bytes: 4 for an integer, the UTF-16 length with terminator for strings
};

// A missing key, a missing value, a value of the wrong type or size, or a store that
// cannot be read or written.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Registry {
 public:
  // The current user's store at storePath().
  Registry();
  // A store kept in `file` (tests and tools).
  explicit Registry(QString file);

  // $XDG_CONFIG_HOME/tessaron/registry.json, or ~/.config/... when the variable is unset
  // or not an absolute path.
  static QString storePath();
  // Where a store that could not be parsed was last kept aside, or empty; each file set
  // aside is reported once, so that the program can tell its user.
  static QString takeSetAside();
  QString fileName() const { return file_; }

  // Opens `path` (absolute when it starts with "\", else below the open key) as the
  // current key. Without canCreate a missing key gives false and the open key stays.
  bool openKey(const QString& path, bool canCreate);
  // Back to the root; changes are already stored.
  void closeKey();
  // The open key's absolute path, "\" for the root.
  QString currentPath() const;

  bool keyExists(const QString& path) const;
  // Deletes the key with all its subkeys and values; false when it did not exist.
  bool deleteKey(const QString& path);
  QStringList keyNames() const;

  // Values of the open key.
  bool valueExists(const QString& name) const;
  std::optional<RegistryDataInfo> dataInfo(const QString& name) const;
  QStringList valueNames() const;
  bool deleteValue(const QString& name);

  // Each read throws RegistryError when the open key or the value is missing, or the
  // value is of another type.
  int32_t readInteger(const QString& name) const;
  // A plain or an expandable string (returned unexpanded).
  QString readString(const QString& name) const;
  // A byte block or an untyped value, whole.
  QByteArray readBinary(const QString& name) const;
  // A byte block or an untyped value of at most `width` bytes, read into the first bytes
  // of `buffer` (the rest is left as it is); returns the number of bytes read. A longer
  // value is a RegistryError and leaves the buffer untouched.
  qsizetype readBinaryData(const QString& name, void* buffer, qsizetype width) const;

  // Each write stores the value at once; RegistryError when the open key is missing or
  // the store cannot be written (the file then keeps its previous content).
  void writeInteger(const QString& name, int32_t value);
  void writeString(const QString& name, const QString& value);
  void writeExpandString(const QString& name, const QString& value);
  void writeBinaryData(const QString& name, const void* data, qsizetype size);
  void writeUntyped(const QString& name, const QByteArray& data);

 private:
  QStringList resolve(const QString& path) const;

  QString file_;
  QStringList current_;  // segments of the open key below the root
};
