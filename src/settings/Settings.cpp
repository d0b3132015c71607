#include "Settings.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <limits>

#include "log.h"

namespace {

QSettings::Format StoreFormat() {
  return QSettings::NativeFormat;
}

QString Key(const char* section, const char* name) {
  return QString::fromUtf8(section) + QLatin1Char('/') + QString::fromUtf8(name);
}

// Reads a stored value as a 32-bit integer. The registry keeps integers as DWORDs, which come
// back unsigned; they are taken bit for bit, so a stored -1 reads as -1 again. Text (the INI
// file holds only text) must be a decimal number within range.
bool ToInt(const QVariant& value, int* out) {
  switch (value.typeId()) {
    case QMetaType::Int:
      *out = value.toInt();
      return true;
    case QMetaType::UInt:
      *out = static_cast<int32_t>(value.toUInt());
      return true;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString: {
      bool ok = false;
      const qlonglong number = value.typeId() == QMetaType::QString
                                   ? value.toString().trimmed().toLongLong(&ok, 10)
                                   : value.toLongLong(&ok);
      if (!ok || number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        return false;
      }
      *out = static_cast<int>(number);
      return true;
    }
    default:
      return false;  // lists, byte arrays, booleans and the like are not numbers
  }
}

// Stores one value and waits for it to reach the file. When it does not, the value is put back
// as it was in this process's view too, so that a later read does not show a value the store
// never received.
bool Write(const char* section, const char* name, const QVariant& value) {
  QSettings settings(StoreFormat(), QSettings::UserScope, kSettingsOrganization,
                     kSettingsApplication);
  const QString key = Key(section, name);
  const QVariant previous = settings.value(key);
  settings.setValue(key, value);
  settings.sync();
  // A format error only says that some lines of the old file could not be read; the file is
  // still written. Only an access error means the value did not get there.
  if (settings.status() != QSettings::AccessError) {
    return true;
  }
  if (previous.isValid()) {
    settings.setValue(key, previous);
  } else {
    settings.remove(key);
  }
  TRACE('W', "Setting %s %s not stored\n", section, name);
  return false;
}

}  // namespace

int ReadSettingInt(const char* section, const char* name, int fallback) {
  QSettings settings(StoreFormat(), QSettings::UserScope, kSettingsOrganization,
                     kSettingsApplication);
  int result = fallback;
  if (!ToInt(settings.value(Key(section, name)), &result)) {
    return fallback;
  }
  return result;
}

std::string ReadSettingString(const char* section, const char* name, const char* fallback) {
  QSettings settings(StoreFormat(), QSettings::UserScope, kSettingsOrganization,
                     kSettingsApplication);
  const QVariant value = settings.value(Key(section, name));
  if (value.typeId() != QMetaType::QString) {
    // Missing, or stored as something other than text (a registry DWORD, a list).
    return fallback != nullptr ? std::string(fallback) : std::string();
  }
  return value.toString().toStdString();
}

bool WriteSettingInt(const char* section, const char* name, int value) {
  return Write(section, name, QVariant(value));
}

bool WriteSettingString(const char* section, const char* name, const char* value) {
  return Write(section, name, QVariant(QString::fromUtf8(value != nullptr ? value : "")));
}
