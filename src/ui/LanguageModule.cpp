#include "ui/LanguageModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QResource>
#include <QtEndian>
#include <atomic>

namespace veltro::ui {
namespace {

// Header of a binary resource file: "qres", then four big-endian 32-bit words: format
// version, offset of the tree, of the data and of the names.
constexpr qint64 kResourceHeaderBytes = 20;

// Resource names are plain identifiers; anything else could reach outside its folder.
bool IsResourceName(const QString& name) {
  static const QRegularExpression kPattern(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
  return kPattern.match(name).hasMatch();
}

QString NextMapRoot() {
  static std::atomic<int> counter{0};
  return QStringLiteral("/veltro-language-%1").arg(counter.fetch_add(1) + 1);
}

QJsonObject ObjectFromJson(const QByteArray& bytes) {
  const QJsonDocument document = QJsonDocument::fromJson(bytes);
  return document.isObject() ? document.object() : QJsonObject();
}

}  // namespace

bool LooksLikeResourceFile(const QString& rccPath) {
  QFile file(rccPath);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const qint64 size = file.size();
  const QByteArray header = file.read(kResourceHeaderBytes);
  if (header.size() != kResourceHeaderBytes || !header.startsWith("qres")) return false;
  const auto* words = reinterpret_cast<const uchar*>(header.constData()) + 4;
  const quint32 version = qFromBigEndian<quint32>(words);
  if (version < 1 || version > 3) return false;
  for (int word = 1; word < 4; ++word) {
    const quint32 offset = qFromBigEndian<quint32>(words + 4 * word);
    if (offset < kResourceHeaderBytes || offset >= size) return false;
  }
  return true;
}

QString ModuleFileForSetting(const QString& setting, const QString& directory) {
  const QString trimmed = setting.trimmed();
  if (trimmed.isEmpty() || trimmed.contains('/') || trimmed.contains('\\')) return {};
  const qsizetype dot = trimmed.lastIndexOf('.');
  const QString base = dot > 0 ? trimmed.left(dot) : trimmed;
  return QDir(directory).filePath(base + QStringLiteral(".rcc"));
}

LanguageModule::LanguageModule() = default;

LanguageModule::~LanguageModule() {
  Unload();
}

bool LanguageModule::Load(const QString& rccPath) {
  Unload();
  if (!LooksLikeResourceFile(rccPath)) return false;
  const QString root = NextMapRoot();
  if (!QResource::registerResource(rccPath, root)) return false;
  rccPath_ = rccPath;
  mapRoot_ = root;
  ReadTables();
  return true;
}

void LanguageModule::Unload() {
  if (IsLoaded()) QResource::unregisterResource(rccPath_, mapRoot_);
  rccPath_.clear();
  mapRoot_.clear();
  languageLabel_.clear();
  strings_.clear();
  menus_ = QJsonObject();
  accelerators_ = QJsonObject();
}

void LanguageModule::ReadTables() {
  const QJsonObject strings = ObjectFromJson(ReadResource(QStringLiteral("strings.json")));
  languageLabel_ = strings.value("language").toString();
  const QJsonObject numbered = strings.value("strings").toObject();
  for (auto entry = numbered.begin(); entry != numbered.end(); ++entry) {
    bool isNumber = false;
    const int id = entry.key().toInt(&isNumber);
    if (isNumber && entry.value().isString()) strings_.insert(id, entry.value().toString());
  }
  menus_ = ObjectFromJson(ReadResource(QStringLiteral("menus.json")));
  accelerators_ = ObjectFromJson(ReadResource(QStringLiteral("accelerators.json")));
}

QByteArray LanguageModule::ReadResource(const QString& relativePath) const {
  if (!IsLoaded()) return {};
  QFile file(QStringLiteral(":") + mapRoot_ + QStringLiteral("/") + relativePath);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QString LanguageModule::String(int id) const {
  return strings_.value(id);
}

MenuDescription LanguageModule::Menu(const QString& name) const {
  return ParseMenu(menus_.value(name).toArray());
}

std::vector<Accelerator> LanguageModule::Accelerators(const QString& name) const {
  return ParseAccelerators(accelerators_.value(name).toArray());
}

DialogTemplate LanguageModule::Dialog(const QString& name) const {
  if (!IsResourceName(name)) return {};
  return ParseDialogTemplate(ReadResource(QStringLiteral("dialogs/") + name + ".json"));
}

QPixmap LanguageModule::ReadPixmap(const QString& folder, const QString& name) const {
  if (!IsResourceName(name)) return {};
  const QByteArray bytes = ReadResource(folder + QStringLiteral("/") + name + ".png");
  QPixmap pixmap;
  if (!bytes.isEmpty()) pixmap.loadFromData(bytes, "PNG");
  return pixmap;
}

QIcon LanguageModule::Icon(const QString& name) const {
  const QPixmap pixmap = ReadPixmap(QStringLiteral("icons"), name);
  return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QPixmap LanguageModule::Bitmap(const QString& name) const {
  return ReadPixmap(QStringLiteral("bitmaps"), name);
}

QString LanguageModule::HelpFileName() const {
  return String(kHelpNameStringId).trimmed().left(kMaxHelpNameLength);
}

}  // namespace veltro::ui
