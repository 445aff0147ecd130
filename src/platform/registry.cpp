// Per-user typed key/value store with registry semantics, kept in one JSON file.
//
// File layout: every key is an object with optional members "keys" (subkeys by name) and
// "values" (values by name); every value is an object {"type": ..., "data": ...} with the
// types "integer" (a JSON number), "string" and "expand_string" (JSON strings), "binary"
// and "untyped" (hexadecimal digits). The file's top object is the root key.
#include "platform/registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QtGlobal>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace {

struct CaseLess {
  bool operator()(const QString& a, const QString& b) const { return a.compare(b, Qt::CaseInsensitive) < 0; }
};

struct Value {
  RegistryType type = RegistryType::Untyped;
  int32_t integer = 0;
  QString text;
  QByteArray bytes;
};

struct Key {
  std::map<QString, std::unique_ptr<Key>, CaseLess> keys;
  std::map<QString, Value, CaseLess> values;
};

const char* typeName(RegistryType t) {
  switch (t) {
    case RegistryType::Untyped: return "untyped";
    case RegistryType::Integer: return "integer";
    case RegistryType::String: return "string";
    case RegistryType::ExpandString: return "expand_string";
    case RegistryType::Binary: return "binary";
  }
  return "untyped";
}

std::optional<RegistryType> typeFromName(const QString& s) {
  for (RegistryType t : {RegistryType::Untyped, RegistryType::Integer, RegistryType::String, RegistryType::ExpandString,
                         RegistryType::Binary})
    if (s == QLatin1String(typeName(t))) return t;
  return std::nullopt;
}

bool isHex(const QString& s) {
  if (s.size() % 2 != 0) return false;
  for (QChar c : s)
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) return false;
  return true;
}

bool parseValue(const QJsonValue& json, Value& value) {
  if (!json.isObject()) return false;
  const QJsonObject o = json.toObject();
  const auto type = typeFromName(o.value("type").toString());
  if (!type) return false;
  value.type = *type;
  const QJsonValue data = o.value("data");
  switch (*type) {
    case RegistryType::Integer: {
      if (!data.isDouble()) return false;
      const double d = data.toDouble();
      if (d != std::floor(d) || d < INT32_MIN || d > INT32_MAX) return false;
      value.integer = static_cast<int32_t>(d);
      return true;
    }
    case RegistryType::String:
    case RegistryType::ExpandString:
      if (!data.isString()) return false;
      value.text = data.toString();
      return true;
    case RegistryType::Binary:
    case RegistryType::Untyped:
      if (!data.isString() || !isHex(data.toString())) return false;
      value.bytes = QByteArray::fromHex(data.toString().toLatin1());
      return true;
  }
  return false;
}

bool parseKey(const QJsonObject& json, Key& key) {
  const QJsonValue keys = json.value("keys");
  if (!keys.isUndefined()) {
    if (!keys.isObject()) return false;
    const QJsonObject o = keys.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
      auto sub = std::make_unique<Key>();
      if (it.key().isEmpty() || !it.value().isObject() || !parseKey(it.value().toObject(), *sub)) return false;
      if (!key.keys.emplace(it.key(), std::move(sub)).second) return false;  // same name in other case
    }
  }
  const QJsonValue values = json.value("values");
  if (!values.isUndefined()) {
    if (!values.isObject()) return false;
    const QJsonObject o = values.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
      Value v;
      if (!parseValue(it.value(), v)) return false;
      if (!key.values.emplace(it.key(), std::move(v)).second) return false;
    }
  }
  return true;
}

QJsonObject keyToJson(const Key& key) {
  QJsonObject result;
  if (!key.keys.empty()) {
    QJsonObject keys;
    for (const auto& [name, sub] : key.keys) keys.insert(name, keyToJson(*sub));
    result.insert("keys", keys);
  }
  if (!key.values.empty()) {
    QJsonObject values;
    for (const auto& [name, v] : key.values) {
      QJsonObject o{{"type", QLatin1String(typeName(v.type))}};
      switch (v.type) {
        case RegistryType::Integer: o.insert("data", v.integer); break;
        case RegistryType::String:
        case RegistryType::ExpandString: o.insert("data", v.text); break;
        case RegistryType::Binary:
        case RegistryType::Untyped: o.insert("data", QString::fromLatin1(v.bytes.toHex())); break;
      }
      values.insert(name, o);
    }
    result.insert("values", values);
  }
  return result;
}

QString displayPath(const QStringList& segments) { return u'\\' + segments.join(u'\\'); }

// Where the last store that could not be parsed was kept, until someone asks.
std::mutex setAsideMutex;
QString lastSetAside;

// Moves a store that cannot be parsed out of the way, under a name that does not
// replace an earlier one, so that nothing is lost and the settings start afresh.
void setAside(const QString& file) {
  QString target = file + ".corrupt";
  for (int n = 1; QFileInfo::exists(target); ++n) target = file + ".corrupt." + QString::number(n);
  if (!QFile::rename(file, target))
    throw RegistryError(
        QCoreApplication::translate("Registry", "The settings store %1 cannot be read and cannot be moved aside")
            .arg(file)
            .toStdString());
  qWarning("The settings store %s could not be read; it was kept as %s and the settings start afresh.",
           qPrintable(file), qPrintable(target));
  const std::lock_guard lock(setAsideMutex);
  lastSetAside = target;
}

std::unique_ptr<Key> loadStore(const QString& file) {
  auto root = std::make_unique<Key>();
  QFile f(file);
  if (!f.exists()) return root;
  if (!f.open(QIODevice::ReadOnly))
    throw RegistryError(QCoreApplication::translate("Registry", "The settings store %1 cannot be read: %2")
                            .arg(file, f.errorString())
                            .toStdString());
  const QByteArray data = f.readAll();
  f.close();
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject() || !parseKey(doc.object(), *root)) {
    setAside(file);
    return std::make_unique<Key>();
  }
  return root;
}

void saveStore(const QString& file, const Key& root) {
  const QString dir = QFileInfo(file).absolutePath();
  if (!QDir().mkpath(dir))
    throw RegistryError(QCoreApplication::translate("Registry", "The folder %1 of the settings store cannot be created")
                            .arg(dir)
                            .toStdString());
  QSaveFile f(file);
  const QByteArray data = QJsonDocument(keyToJson(root)).toJson(QJsonDocument::Indented);
  const auto fail = [&] {
    throw RegistryError(QCoreApplication::translate("Registry", "The settings store %1 cannot be written: %2")
                            .arg(file, f.errorString())
                            .toStdString());
  };
  if (!f.open(QIODevice::WriteOnly)) fail();
  // Commit does not notice a buffered write that failed when flushed (disk full, size
  // limit) and would replace the store with a truncated file; check before committing.
  if (f.write(data) != data.size() || !f.flush() || f.size() != data.size()) {
    f.cancelWriting();
    fail();
  }
  if (!f.commit()) fail();
}

Key* findKey(Key& root, const QStringList& segments) {
  Key* k = &root;
  for (const QString& s : segments) {
    auto it = k->keys.find(s);
    if (it == k->keys.end()) return nullptr;
    k = it->second.get();
  }
  return k;
}

Key& openedKey(Key& root, const QStringList& segments) {
  Key* k = findKey(root, segments);
  if (!k)
    throw RegistryError(QStringLiteral("Registry key %1 does not exist").arg(displayPath(segments)).toStdString());
  return *k;
}

const Value& findValue(Key& root, const QStringList& segments, const QString& name) {
  Key& k = openedKey(root, segments);
  auto it = k.values.find(name);
  if (it == k.values.end())
    throw RegistryError(
        QStringLiteral("Registry value \"%1\" does not exist in %2").arg(name, displayPath(segments)).toStdString());
  return it->second;
}

[[noreturn]] void wrongType(const QString& name, const char* wanted) {
  throw RegistryError(QStringLiteral("Registry value \"%1\" is not %2").arg(name, QLatin1String(wanted)).toStdString());
}

}  // namespace

Registry::Registry() : file_(storePath()) {}

Registry::Registry(QString file) : file_(std::move(file)) {}

QString Registry::takeSetAside() {
  const std::lock_guard lock(setAsideMutex);
  return std::exchange(lastSetAside, QString());
}

QString Registry::storePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + "/.config";
  return base + "/tessaron/registry.json";
}

QStringList Registry::resolve(const QString& path) const {
  QStringList segments = path.startsWith(u'\\') ? QStringList() : current_;
  for (const QString& s : path.split(u'\\', Qt::SkipEmptyParts)) segments << s;
  return segments;
}

bool Registry::openKey(const QString& path, bool canCreate) {
  const QStringList segments = resolve(path);
  auto root = loadStore(file_);
  if (!findKey(*root, segments)) {
    if (!canCreate) return false;
    Key* k = root.get();
    for (const QString& s : segments) {
      auto& slot = k->keys[s];
      if (!slot) slot = std::make_unique<Key>();
      k = slot.get();
    }
    saveStore(file_, *root);
  }
  current_ = segments;
  return true;
}

void Registry::closeKey() { current_.clear(); }

QString Registry::currentPath() const { return displayPath(current_); }

bool Registry::keyExists(const QString& path) const {
  auto root = loadStore(file_);
  return findKey(*root, resolve(path)) != nullptr;
}

bool Registry::deleteKey(const QString& path) {
  const QStringList segments = resolve(path);
  if (segments.isEmpty()) throw RegistryError("The root key cannot be deleted");
  auto root = loadStore(file_);
  Key* parent = findKey(*root, segments.mid(0, segments.size() - 1));
  if (!parent || parent->keys.erase(segments.last()) == 0) return false;
  saveStore(file_, *root);
  return true;
}

QStringList Registry::keyNames() const {
  auto root = loadStore(file_);
  QStringList names;
  for (const auto& [name, sub] : openedKey(*root, current_).keys) names << name;
  return names;
}

bool Registry::valueExists(const QString& name) const {
  auto root = loadStore(file_);
  const Key* k = findKey(*root, current_);
  return k && k->values.count(name) != 0;
}

std::optional<RegistryDataInfo> Registry::dataInfo(const QString& name) const {
  auto root = loadStore(file_);
  const Key* k = findKey(*root, current_);
  if (!k) return std::nullopt;
  auto it = k->values.find(name);
  if (it == k->values.end()) return std::nullopt;
  const Value& v = it->second;
  switch (v.type) {
    case RegistryType::Integer: return RegistryDataInfo{v.type, 4};
    case RegistryType::String:
    case RegistryType::ExpandString: return RegistryDataInfo{v.type, (v.text.size() + 1) * 2};
    case RegistryType::Binary:
    case RegistryType::Untyped: return RegistryDataInfo{v.type, v.bytes.size()};
  }
  return std::nullopt;
}

QStringList Registry::valueNames() const {
  auto root = loadStore(file_);
  QStringList names;
  for (const auto& [name, v] : openedKey(*root, current_).values) names << name;
  return names;
}

bool Registry::deleteValue(const QString& name) {
  auto root = loadStore(file_);
  if (openedKey(*root, current_).values.erase(name) == 0) return false;
  saveStore(file_, *root);
  return true;
}

int32_t Registry::readInteger(const QString& name) const {
  auto root = loadStore(file_);
  const Value& v = findValue(*root, current_, name);
  if (v.type != RegistryType::Integer) wrongType(name, "a 32-bit integer");
  return v.integer;
}

QString Registry::readString(const QString& name) const {
  auto root = loadStore(file_);
  const Value& v = findValue(*root, current_, name);
  if (v.type != RegistryType::String && v.type != RegistryType::ExpandString) wrongType(name, "a string");
  return v.text;
}

QByteArray Registry::readBinary(const QString& name) const {
  auto root = loadStore(file_);
  const Value& v = findValue(*root, current_, name);
  if (v.type != RegistryType::Binary && v.type != RegistryType::Untyped) wrongType(name, "a byte block");
  return v.bytes;
}

qsizetype Registry::readBinaryData(const QString& name, void* buffer, qsizetype width) const {
  const QByteArray bytes = readBinary(name);
  if (bytes.size() > width)
    throw RegistryError(
        QStringLiteral("Registry value \"%1\" is longer than %2 bytes").arg(name).arg(width).toStdString());
  if (!bytes.isEmpty()) std::memcpy(buffer, bytes.constData(), bytes.size());
  return bytes.size();
}

namespace {
void storeValue(const QString& file, const QStringList& current, const QString& name, Value value) {
  auto root = loadStore(file);
  Key& k = openedKey(*root, current);
  auto it = k.values.find(name);
  if (it != k.values.end())
    it->second = std::move(value);  // keeps the case the value was created with
  else
    k.values.emplace(name, std::move(value));
  saveStore(file, *root);
}
}  // namespace

void Registry::writeInteger(const QString& name, int32_t value) {
  storeValue(file_, current_, name, Value{RegistryType::Integer, value, {}, {}});
}

void Registry::writeString(const QString& name, const QString& value) {
  storeValue(file_, current_, name, Value{RegistryType::String, 0, value, {}});
}

void Registry::writeExpandString(const QString& name, const QString& value) {
  storeValue(file_, current_, name, Value{RegistryType::ExpandString, 0, value, {}});
}

void Registry::writeBinaryData(const QString& name, const void* data, qsizetype size) {
  storeValue(file_, current_, name,
             Value{RegistryType::Binary, 0, {}, QByteArray(static_cast<const char*>(data), size)});
}

void Registry::writeUntyped(const QString& name, const QByteArray& data) {
  storeValue(file_, current_, name, Value{RegistryType::Untyped, 0, {}, data});
}
